#!/usr/bin/env bash
# Builds a user program in a folder outside the tree, the way a user's own
# project takes the framework in, and runs it on Qt's offscreen platform:
#   consumers.sh subdirectory SOURCE_DIR BUILD_DIR [SANITIZER]
#   consumers.sh package      SOURCE_DIR BUILD_DIR [SANITIZER]
#   consumers.sh pkg-config   SOURCE_DIR BUILD_DIR [SANITIZER]
# subdirectory: add_subdirectory() of the source tree, with both kaplo_add_program
# and target_link_libraries(kaplo::kaplo kaplo::main). package: cmake --install of
# the build tree to a private prefix, then find_package(kaplo CONFIG). pkg-config:
# the same install, then one g++ command line.
set -u
mode=$1 src=$(cd "$2" && pwd) build=$(cd "$3" && pwd) sanitizer=${4:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; for f in "$tmp"/*.log; do [ -f "$f" ] && { echo "--- $f"; tail -n 30 "$f"; }; done; exit 1; }

# A build of the library with sanitizers needs them in the program too.
flags=""
case "$sanitizer" in
  address) flags="-fsanitize=address,undefined" ;;
  thread) flags="-fsanitize=thread" ;;
esac

mkdir -p "$tmp/project"
cp "$src/tests/seam/consumer/app.cpp" "$tmp/project/app.cpp"
cmake_args=(-G Ninja -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags")

install_prefix() {
  cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" 2>&1 || fail "cmake --install"
  # Exactly the public headers are installed.
  [ "$(cd "$tmp/prefix/include" && ls)" = "$(cd "$src/include" && ls)" ] ||
    fail "installed headers: $(ls "$tmp/prefix/include")"
}

programs=()
case "$mode" in
  subdirectory)
    cat >"$tmp/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.22)
project(consumer CXX)
add_subdirectory("$src" kaplo)
kaplo_add_program(app app.cpp)
add_executable(app_linked app.cpp)
target_link_libraries(app_linked PRIVATE kaplo::kaplo kaplo::main)
CMAKE
    cmake -S "$tmp/project" -B "$tmp/b" "${cmake_args[@]}" >"$tmp/configure.log" 2>&1 || fail "configure"
    # Added as a subdirectory, the framework builds its library alone.
    for extra in tests examples bench app tools; do
      [ ! -e "$tmp/b/kaplo/$extra" ] || fail "the subdirectory build includes $extra/"
    done
    cmake --build "$tmp/b" -j 2 >"$tmp/build.log" 2>&1 || fail "build"
    programs=("$tmp/b/app" "$tmp/b/app_linked")
    ;;
  package)
    install_prefix
    cat >"$tmp/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.22)
project(consumer CXX)
find_package(kaplo 0.1 CONFIG REQUIRED)
kaplo_add_program(app app.cpp)
add_executable(app_linked app.cpp)
target_link_libraries(app_linked PRIVATE kaplo::kaplo kaplo::main)
CMAKE
    cmake -S "$tmp/project" -B "$tmp/b" "${cmake_args[@]}" -DCMAKE_PREFIX_PATH="$tmp/prefix" \
      >"$tmp/configure.log" 2>&1 || fail "configure"
    grep -q "kaplo_DIR:PATH=$tmp/prefix/" "$tmp/b/CMakeCache.txt" || fail "the package was not found in the prefix"
    cmake --build "$tmp/b" >"$tmp/build.log" 2>&1 || fail "build"
    programs=("$tmp/b/app" "$tmp/b/app_linked")
    # A version the package does not serve is refused.
    sed -i 's/kaplo 0.1 CONFIG/kaplo 9.0 CONFIG/' "$tmp/project/CMakeLists.txt"
    if cmake -S "$tmp/project" -B "$tmp/b9" "${cmake_args[@]}" -DCMAKE_PREFIX_PATH="$tmp/prefix" \
      >"$tmp/version.log" 2>&1; then fail "find_package(kaplo 9.0) was accepted"; fi
    ;;
  pkg-config)
    install_prefix
    export PKG_CONFIG_PATH="$(dirname "$(find "$tmp/prefix" -name kaplo.pc)")"
    # shellcheck disable=SC2046
    g++ $flags -o "$tmp/project/app" "$tmp/project/app.cpp" $(pkg-config --cflags --libs kaplo) \
      >"$tmp/build.log" 2>&1 || fail "g++ with pkg-config"
    programs=("$tmp/project/app")
    ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac

# Each program starts, does its work, and ends as by Exit on SIGTERM.
. "$src/tests/offscreen.sh"
for program in "${programs[@]}"; do
  offscreen_run "$program" "consumer ready" "$tmp/run.log" "$tmp/run-err.log" || fail "$program"
  grep -q "consumer ready: 8x8x32 pixel 123456" "$tmp/run.log" || fail "$program: $(cat "$tmp/run.log")"
done
echo "consumer build by $mode passed"
