#!/bin/bash
# A whole unattended backup in console mode (quillet -P=NAME --console: start-up, record
# files, selection scan, packing, comment item, read-back check, rotation) against
# `zip -r -6 -q` over the same folder, wall time, warm cache.
#
#   bench/backup/backup_bench.sh [--quillet build/quillet] [--runs N] [--work DIR] [folder]
#
# Without a folder, the library benchmark's data is used: a copy of the regular files of
# /usr/include and /usr/share/doc in the work folder (made once; bench/lsp makes the same).
# Each figure is the best of N runs (default 5); the median is printed too. The last line
# is the row for the README's performance table.
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
quillet=$here/build/quillet
runs=5
work=
folder=
while [ $# -gt 0 ]; do
    case "$1" in
        --quillet) quillet=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
        *) folder=$1; shift ;;
    esac
done
[ -x "$quillet" ] || { echo "no program at $quillet (build it, or give --quillet)" >&2; exit 1; }
[ -n "$work" ] || work=${TMPDIR:-/tmp}/quillet-backup-bench
mkdir -p "$work"
work=$(cd "$work" && pwd)

if [ -z "$folder" ]; then
    folder=$work/data
    if [ ! -d "$folder" ]; then
        echo "copying /usr/include and /usr/share/doc to $folder ..."
        mkdir -p "$folder"
        for src in /usr/include /usr/share/doc; do
            (cd / && find "${src#/}" -type f -exec cp --parents -p -t "$folder" {} + 2>/dev/null) || true
        done
    fi
fi
folder=$(cd "$folder" && pwd)

export QUILLET_HOME=$work/home
rm -rf "$QUILLET_HOME" "$work/dest" "$work/zip"
mkdir -p "$work/dest" "$work/zip"
"$quillet" project add BENCH --dest "$work/dest" --prefix BNCH --max 1 --notes "benchmark" >/dev/null
"$quillet" component add BENCH --path "$folder" --mask "*.*" --recurse >/dev/null

files=$(find "$folder" -type f | wc -l)
bytes=$(du -sb "$folder" | cut -f1)
echo "data: $folder, $files files, $bytes bytes; best of $runs runs"
find "$folder" -type f -print0 | xargs -0 cat >/dev/null 2>&1 || true  # warm the cache

now() { date +%s.%N; }
quillet_times=()
zip_times=()
for ((i = 0; i < runs; i++)); do
    rm -f "$work/dest"/*
    t0=$(now)
    "$quillet" -P=BENCH --console >"$work/out.txt" 2>"$work/err.txt" || {
        echo "the backup failed:" >&2; cat "$work/out.txt" "$work/err.txt" >&2; exit 1; }
    t1=$(now)
    quillet_times+=("$(echo "$t1 - $t0" | bc -l)")

    rm -f "$work/zip/out.zip"
    t0=$(now)
    (cd "$folder" && zip -r -6 -q "$work/zip/out.zip" .)
    t1=$(now)
    zip_times+=("$(echo "$t1 - $t0" | bc -l)")
done

unzip -tqq "$work/dest/BNCH0001.LSP" >/dev/null || { echo "unzip -t fails on the backup" >&2; exit 1; }

best() { printf '%s\n' "$@" | sort -g | head -1; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
qb=$(best "${quillet_times[@]}"); zb=$(best "${zip_times[@]}")
qm=$(median "${quillet_times[@]}"); zm=$(median "${zip_times[@]}")
ratio=$(echo "$qb / $zb" | bc -l)
mratio=$(echo "$qm / $zm" | bc -l)
qsize=$(stat -c %s "$work/dest/BNCH0001.LSP"); zsize=$(stat -c %s "$work/zip/out.zip")
printf 'quillet -P console: best %.2f s, median %.2f s, archive %s bytes\n' "$qb" "$qm" "$qsize"
printf 'zip -r -6 -q:       best %.2f s, median %.2f s, archive %s bytes\n' "$zb" "$zm" "$zsize"
printf 'ratio: best %.2f, median %.2f (target at most 1.1)\n' "$ratio" "$mratio"
printf '| whole unattended backup, console mode: %s files, %s bytes (`bench/backup`, warm cache, best of %s) | %.2f s | `zip -r -6 -q`: %.2f s | %.2f (median %.2f; target at most 1.1) |\n' \
    "$files" "$bytes" "$runs" "$qb" "$zb" "$ratio" "$mratio"
