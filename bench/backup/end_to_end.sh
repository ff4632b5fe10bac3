#!/bin/bash
# End-to-end check of the unattended backup in console mode over a copy of /usr/include,
# with a fresh QUILLET_HOME: the archive passes `unzip -t`, its files extract
# byte-identical, its comment item is 1016 bytes holding the project's notes, and five
# runs with a maximum of three backups leave exactly 0001-0003, 0001 the newest.
#
#   bench/backup/end_to_end.sh [--quillet build/quillet] [--work DIR]
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
quillet=$here/build/quillet
work=${TMPDIR:-/tmp}/quillet-end-to-end
while [ $# -gt 0 ]; do
    case "$1" in
        --quillet) quillet=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        *) echo "usage: $0 [--quillet PROGRAM] [--work DIR]" >&2; exit 2 ;;
    esac
done
fail() { echo "FAILED: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cp -a /usr/include "$work/src"
# Links to folders are never followed by the scan (they would let a walk loop) and broken
# links are not files, so neither is part of what a backup holds; nor are empty folders.
find "$work/src" -type l ! -xtype f -delete
find "$work/src" -type d -empty -delete

export QUILLET_HOME=$work/home
notes="Headers of this system, backed up nightly."
"$quillet" project add "Include Copy" --dest "$work/dest" --prefix PREF --max 3 --notes "$notes" >/dev/null
"$quillet" component add "Include Copy" --path "$work/src" --mask "*.*" --recurse >/dev/null

"$quillet" -P="include copy" --console >"$work/out.txt" 2>"$work/err.txt" || fail "exit status $? ($(cat "$work/err.txt"))"
[ ! -s "$work/err.txt" ] || fail "messages: $(cat "$work/err.txt")"
archive=$work/dest/PREF0001.LSP
unzip -tqq "$archive" || fail "unzip -t"
mkdir "$work/x"
unzip -qq "$archive" -d "$work/x"
diff -r "$work/src" "$work/x$work/src" >/dev/null || fail "extracted files differ from the sources"
size=$(stat -c %s "$work/x/LSPComments.inb")
[ "$size" = 1016 ] || fail "comment item is $size bytes"
stored=$(dd if="$work/x/LSPComments.inb" bs=1 skip=16 count=1000 2>/dev/null | sed 's/ *$//')
[ "$stored" = "$notes" ] || fail "comment notes read \"$stored\""
echo "PREF0001.LSP: unzip -t passes, $(find "$work/src" -type f | wc -l) files identical, comment item 1016 bytes with the notes"

for run in 2 3 4 5; do
    echo "run $run" >"$work/src/marker.txt"
    "$quillet" -P="INCLUDE COPY" --console >/dev/null 2>&1 || fail "run $run"
done
left=$(cd "$work/dest" && ls | tr '\n' ' ')
[ "$left" = "PREF0001.LSP PREF0002.LSP PREF0003.LSP " ] || fail "after five runs: $left"
for n in 1 2 3; do
    got=$(unzip -p "$work/dest/PREF000$n.LSP" "${work#/}/src/marker.txt")
    [ "$got" = "run $((6 - n))" ] || fail "PREF000$n.LSP holds \"$got\""
done
echo "five runs with maximum 3: PREF0001-0003 left, 0001 the newest"
echo "OK"
