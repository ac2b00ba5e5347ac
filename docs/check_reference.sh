#!/usr/bin/env bash
# Builds the API reference and checks it against the public headers:
#   check_reference.sh DOXYGEN DOXYFILE SOURCE_DIR OUTPUT_DIR
# Every header in include/ (what the install puts in place) is read, every
# call declared there (and the user routines) has an entry, the main page
# links every group, and every link of the README's reference table leads to
# a page. Problems are printed as "error: ..." lines.
set -u
doxygen=$1 doxyfile=$2 src=$3 out=$4
status=0
error() { echo "error: $*"; status=1; }
# Pages of an earlier run must not stand in for missing ones.
rm -rf "$out/kaplo.tag" "$out/html"
"$doxygen" "$doxyfile" || error "doxygen failed"
tag=$out/kaplo.tag
[ -f "$tag" ] || { error "doxygen wrote no $tag"; exit 1; }

# The tag file lists each documented name once per compound it belongs to.
compound_names() { # kind
  awk -v kind="$1" '/<compound kind=/ { c = index($0, "\"" kind "\"") > 0; n = 1; next }
                    c && n && /<name>/ { gsub(/.*<name>|<\/name>.*/, ""); print; n = 0 }' "$tag"
}
files=$(compound_names file)
for header in "$src"/include/*.h; do
  grep -qxF "$(basename "$header")" <<<"$files" || error "$(basename "$header") is not read into the reference"
done

# Calls: KPL_ names followed by "(" outside comments, in any header.
calls=$(sed 's|//.*||' "$src"/include/*.h | grep -oE '\bKPL_[A-Za-z0-9_]+ *\(' | tr -d ' (' | sort -u)
for call in $calls UserInit UserMain UserCommandLine; do
  grep -qF "<name>$call</name>" "$tag" || error "$call has no entry in the reference"
done

for group in $(compound_names group); do
  grep -qF "href=\"group__$group.html\"" "$out/html/index.html" || error "the main page does not list group $group"
done

for page in $(grep -oE '\(build/docs/html/[^)#]+' "$src/README.md" | sed 's|(build/docs/html/||'); do
  [ -f "$out/html/$page" ] || error "README links to build/docs/html/$page, which the reference does not have"
done
exit $status
