#!/usr/bin/env bash
# Builds a user program in a folder outside the tree, the way a user's own
# project takes the framework in, and runs it on Qt's offscreen platform:
#   consumers.sh subdirectory SOURCE_DIR BUILD_DIR [SANITIZER]
#   consumers.sh package      SOURCE_DIR BUILD_DIR [SANITIZER]
#   consumers.sh pkg-config   SOURCE_DIR BUILD_DIR [SANITIZER]
# subdirectory: add_subdirectory() of the source tree, with both kaplo_add_program
# and target_link_libraries(kaplo::kaplo kaplo::main). package: cmake --install of
# the build tree to a private prefix, then find_package(kaplo CONFIG). pkg-config:
# the same install, then one g++ command line. In each way a program that
# defines its own main() fails to link, with a message that says what to write
# instead.
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
cat >"$tmp/project/own_main.cpp" <<'CPP'
#include <kaplo.h>
void UserInit() { KPL_OpenTextWindow(0, -1, -1, -1, -1); }
void UserMain() {}
int main() {
    UserInit();
    return 0;
}
CPP
own_main_targets='kaplo_add_program(own_main own_main.cpp)
add_executable(own_main_linked own_main.cpp)
target_link_libraries(own_main_linked PRIVATE kaplo::kaplo kaplo::main)
set_target_properties(own_main own_main_linked PROPERTIES EXCLUDE_FROM_ALL TRUE)'
# own_main_fails COMMAND...: the command links own_main.cpp and must fail,
# the linker naming the advice on its "multiple definition" line.
own_main_fails() {
  if "$@" >"$tmp/own-main.log" 2>&1; then fail "a program with its own main() linked: $*"; fi
  grep "multiple definition of .main." "$tmp/own-main.log" | grep -q UserInit ||
    fail "no multiple definition of main naming UserInit: $*"
}
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
$own_main_targets
CMAKE
    cmake -S "$tmp/project" -B "$tmp/b" "${cmake_args[@]}" >"$tmp/configure.log" 2>&1 || fail "configure"
    # Added as a subdirectory, the framework builds its library alone.
    for extra in tests examples bench app tools; do
      [ ! -e "$tmp/b/kaplo/$extra" ] || fail "the subdirectory build includes $extra/"
    done
    cmake --build "$tmp/b" -j 2 >"$tmp/build.log" 2>&1 || fail "build"
    programs=("$tmp/b/app" "$tmp/b/app_linked")
    for target in own_main own_main_linked; do own_main_fails cmake --build "$tmp/b" --target $target; done
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
$own_main_targets
CMAKE
    cmake -S "$tmp/project" -B "$tmp/b" "${cmake_args[@]}" -DCMAKE_PREFIX_PATH="$tmp/prefix" \
      >"$tmp/configure.log" 2>&1 || fail "configure"
    grep -q "kaplo_DIR:PATH=$tmp/prefix/" "$tmp/b/CMakeCache.txt" || fail "the package was not found in the prefix"
    cmake --build "$tmp/b" >"$tmp/build.log" 2>&1 || fail "build"
    programs=("$tmp/b/app" "$tmp/b/app_linked")
    for target in own_main own_main_linked; do own_main_fails cmake --build "$tmp/b" --target $target; done
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
    # shellcheck disable=SC2046
    own_main_fails g++ $flags -o "$tmp/project/own_main" "$tmp/project/own_main.cpp" $(pkg-config --cflags --libs kaplo)
    # Linked without the framework's main, the program says so in one line
    # when it asks for a window, and ends with code 1.
    # shellcheck disable=SC2046
    g++ $flags -o "$tmp/project/own_main" "$tmp/project/own_main.cpp" \
      $(pkg-config --cflags --libs kaplo | sed 's/-Wl,-u,[^ ]*//') >"$tmp/build.log" 2>&1 || fail "g++ without -u"
    env -u DISPLAY "$tmp/project/own_main" >/dev/null 2>"$tmp/own-main-run.log"
    rc=$?
    [ $rc = 1 ] && [ "$(grep -c . "$tmp/own-main-run.log")" = 1 ] && grep -q "define UserInit and UserMain" "$tmp/own-main-run.log" ||
      fail "own main() asking for a window: code $rc, $(cat "$tmp/own-main-run.log")"
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
