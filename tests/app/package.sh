#!/usr/bin/env bash
# The Debian package and the manual page:
#   package.sh BUILD_DIR KAPLO_DEPTH
# Packs the built tree with cpack, as `make package` does in a build of its
# own, and checks that the package holds the program, its manual page, the
# headers, the libraries and the CMake and pkg-config files under /usr and
# nothing else, that it declares the program's shared libraries, and that
# the page renders without warnings and names every option --help lists.
set -u
build=$1 program=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack could not make the package"
  exit 1
fi
deb=$(ls "$scratch"/kaplo_*_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no kaplo_VERSION_ARCH.deb in $(ls "$scratch")"; exit 1; }

# The files: each of these, and nothing but them and their folders.
files=$(dpkg -c "$deb" | awk '{print $6}' | grep -v '/$')
page=usr/share/man/man1/kaplo-depth.1.gz
for f in usr/bin/kaplo-depth $page usr/include/kaplo.h usr/lib/libkaplo.a usr/lib/libkaplo_main.a \
  usr/lib/cmake/kaplo/kaplo-config.cmake usr/lib/cmake/kaplo/kaplo-targets.cmake usr/lib/pkgconfig/kaplo.pc; do
  grep -qxF "./$f" <<<"$files" || fail "the package has no /$f"
done
allowed='^\./usr/(bin/kaplo-depth|include/kaplo[a-z_]*\.h|lib/libkaplo(_main)?\.a|lib/cmake/kaplo/[a-z-]+\.cmake|lib/pkgconfig/kaplo\.pc|share/man/man1/kaplo-depth\.1\.gz)$'
if extra=$(grep -vE "$allowed" <<<"$files"); then fail "the package holds more than the install: $extra"; fi

# The program's shared libraries, as dpkg-shlibdeps found them.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in 'libav(format|codec)' libopencv-videoio libqt5widgets5; do
  grep -qE "(^|, )$lib" <<<"$depends" || fail "Depends names no $lib: $depends"
done

# The manual page, as installed: no warnings, and every option of --help.
dpkg-deb --fsys-tarfile "$deb" | tar -xO "./$page" >"$scratch/page.gz"
command -v man >/dev/null || fail "man is not installed: run scripts/install-deps"
warnings=$(MANWIDTH=80 man --warnings -l "$scratch/page.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
source_text=$(gzip -dc "$scratch/page.gz")
options=$("$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "--help lists no options"
for option in $options; do
  grep -qF -- "${option//-/\\-}" <<<"$source_text" || fail "the manual page does not mention $option"
done

[ $status -eq 0 ] && echo "package: $(basename "$deb"), $(wc -l <<<"$files") files, $(wc -l <<<"$options") options"
exit $status
