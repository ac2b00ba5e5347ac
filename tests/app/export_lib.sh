# Shared by the export tests: the programs under test, a private folder, and
# checks that wait by polling, never by fixed sleeps.
#   export_*.sh KAPLO_DEPTH MAKE_SAMPLE_VIDEO VIDEO_INFO
set -u
prog=$(realpath "$1") make_video=$(realpath "$2") video_info=$(realpath "$3")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# refused WHAT TEXT ARGS...: the export ends with a non-zero exit code (left
# in $code) and one line on stderr containing TEXT, within 20 s (a FIFO must
# not block it).
refused() {
  local what=$1 text=$2; shift 2
  timeout 20 "$prog" "$@" >"$tmp/stdout.txt" 2>"$tmp/err.txt"
  code=$?
  [ $code -ne 0 ] && [ $code -ne 124 ] || fail "$what: exit code $code"
  [ "$(wc -l <"$tmp/err.txt")" -eq 1 ] && grep -q -- "$text" "$tmp/err.txt" ||
    fail "$what: $(cat "$tmp/err.txt")"
}

# No temporary file of an export is left in folder $1.
no_temporary_file() {
  ! ls -A "$1" | grep -q '^\.kaplo-' || fail "a temporary file was left in $1: $(ls -A "$1")"
}

# wait_until SECONDS COMMAND...: polls COMMAND every 20 ms until it succeeds.
wait_until() {
  local end=$((SECONDS + $1)); shift
  while ! "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.02
  done
}
