#!/usr/bin/env bash
# KAPLO_DEBUG=1 reports each mistake of the misuse program once, in this
# order and wording; without it the program is silent.
set -u
program=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$(dirname "$0")/../offscreen.sh"

KAPLO_DEBUG=1 offscreen_run "$program" "misuse done" "$tmp/out" "$tmp/err" || exit 1
cat >"$tmp/expected" <<'LINES'
kaplo debug: KPL_Printf: the current text window, 0, is not open
kaplo debug: KPL_UpdateImage: image 5 does not exist
kaplo debug: KPL_UpdateImage: image 6 does not exist
kaplo debug: KPL_DestroyImage: image 300 does not exist
kaplo debug: KPL_SaveImage: the current image, 0, does not exist
kaplo debug: KPL_SelectTextWindow: text window 2 is not open
kaplo debug: KPL_StartLog: text window 2 is not open
kaplo debug: KPL_SetForeground: KPLIMAGEWINDOW + 3 is not open
LINES
grep "kaplo debug" "$tmp/err" >"$tmp/reported"
diff "$tmp/expected" "$tmp/reported" || { echo "FAIL: reports differ (expected, got)"; exit 1; }

offscreen_run "$program" "misuse done" "$tmp/out" "$tmp/err" || exit 1
if grep "kaplo debug" "$tmp/err"; then echo "FAIL: reports without KAPLO_DEBUG"; exit 1; fi
echo "misuse reports passed"
