# The two commands a new user needs: `make run` and `make test`.
BUILD ?= build
GENERATOR := -G Ninja
JOBS ?= $(shell nproc)
CTEST_ARGS ?= --output-on-failure -j $(JOBS)

.PHONY: all deps configure build run test test-asan test-tsan mutants bench docs package format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Plays the bundled video (made in $(BUILD)/data at build time) with the main
# program, from that folder: the program opens "test.avi" in the current one.
# Builds only the program and the video, not the tests and benchmarks. Without
# an X display it says so first, in the program's own words, and builds
# nothing.
run:
	@if [ -z "$$DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  if [ -n "$$WAYLAND_DISPLAY" ]; then \
	    echo "kaplo: no X display: DISPLAY is not set, only WAYLAND_DISPLAY; KAPLO needs X11: run it under XWayland (which sets DISPLAY) or under xvfb-run" >&2; \
	  else \
	    echo "kaplo: no X display: DISPLAY is not set; run it in a desktop session or under xvfb-run" >&2; \
	  fi; exit 1; fi
	@$(MAKE) --no-print-directory configure
	@cmake --build $(BUILD) -j $(JOBS) --target kaplo-depth sample_video
	@cd $(BUILD)/data && $(abspath $(BUILD))/app/kaplo-depth

# The whole suite; a private Xvfb serves the tests that need a display.
test: build
	@scripts/with-xvfb ctest --test-dir $(BUILD) $(CTEST_ARGS)

test-asan: deps
	@cmake -S . -B build-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKAPLO_SANITIZE=address >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  scripts/with-xvfb ctest --test-dir build-asan $(CTEST_ARGS)

test-tsan: deps
	@cmake -S . -B build-tsan $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAPLO_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
	  scripts/with-xvfb ctest --test-dir build-tsan $(CTEST_ARGS)

# The mutation check: SEED and N pick the mutants (scripts/mutants --help).
SEED ?= 1
N ?= 30
mutants: deps
	@scripts/mutants --seed $(SEED) -n $(N)

# The per-pixel and frame benchmarks, then the export's throughput, whose
# ratio line ends the output.
bench: build
	@$(BUILD)/bench/kaplo_bench
	@$(BUILD)/bench/kaplo_export_bench $(BUILD)/bench/bench_768x576.avi

# The API reference of the public headers (Doxygen).
docs: configure
	@cmake --build $(BUILD) --target docs
	@echo "API reference: $(abspath $(BUILD))/docs/html/index.html"

# A Debian package of what `cmake --install` puts in place (the program and
# its manual page, the libraries, headers, CMake and pkg-config files), under
# /usr: $(PACKAGE_BUILD)/kaplo_VERSION_ARCH.deb. A build of its own, without
# the tests, benchmarks, examples and API reference.
PACKAGE_BUILD ?= build-package
package: deps
	@cmake -S . -B $(PACKAGE_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	  -DKAPLO_BUILD_APP=ON -DKAPLO_BUILD_TESTS=OFF -DKAPLO_BUILD_BENCH=OFF \
	  -DKAPLO_BUILD_EXAMPLES=OFF -DKAPLO_BUILD_DOCS=OFF >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target package
	@echo "package: $$(ls $(abspath $(PACKAGE_BUILD))/kaplo_*.deb)"

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan build-tsan build-mutants $(PACKAGE_BUILD)
