#!/bin/bash
# Backups of a folder that did not change, and of one with one changed file, in console
# mode (quillet -P=NAME --console), against `zip -r -6 -q`'s first run over the same folder
# and, when borg is installed, `borg create`'s second run (nothing changed) into a fresh
# repository. Wall times, warm cache, all in one run.
#
#   bench/unchanged/unchanged_bench.sh [--quillet build/quillet] [--runs N] [--work DIR] [folder]
#
# Without a folder the data of bench/backup is used (a copy of the regular files of
# /usr/include and /usr/share/doc in the work folder, made once; pass bench/backup's work
# folder's data/ to share it). Each figure is the best of N runs (default 3). Every new
# archive must pass `unzip -t`; the last one is also extracted and compared with the folder.
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
quillet=$here/build/quillet
runs=3
work=
folder=
while [ $# -gt 0 ]; do
    case "$1" in
        --quillet) quillet=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
        *) folder=$1; shift ;;
    esac
done
[ -x "$quillet" ] || { echo "no program at $quillet (build it, or give --quillet)" >&2; exit 1; }
. "$here/bench/bench_data.sh"
bench_prepare quillet-unchanged-bench
# One file of the folder is changed before each "one changed file" run.
changed=$folder/quillet-bench-changed.txt
echo "first state" >"$changed"

export QUILLET_HOME=$work/home
rm -rf "$QUILLET_HOME" "$work/dest" "$work/zip" "$work/borg" "$work/x"
mkdir -p "$work/dest" "$work/zip"
"$quillet" project add BENCH --dest "$work/dest" --prefix BNCH --max 2 --notes "benchmark" >/dev/null
"$quillet" component add BENCH --path "$folder" --mask "*.*" --recurse >/dev/null

files=$(find "$folder" -type f | wc -l)
bytes=$(du -sb "$folder" | cut -f1)
echo "data: $folder, $files files, $bytes bytes; best of $runs runs"
find "$folder" -type f -print0 | xargs -0 cat >/dev/null 2>&1 || true  # warm the cache

now() { date +%s.%N; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
backup() {
    local t0 t1
    t0=$(now)
    "$quillet" -P=BENCH --console >"$work/out.txt" 2>"$work/err.txt" || {
        echo "the backup failed:" >&2; cat "$work/out.txt" "$work/err.txt" >&2; exit 1; }
    t1=$(now)
    unzip -tqq "$work/dest/BNCH0001.LSP" >/dev/null || { echo "unzip -t fails on the backup" >&2; exit 1; }
    echo "$t1 - $t0" | bc -l
}

zip_times=() first_times=() same_times=() one_times=() borg_times=()
for ((i = 0; i < runs; i++)); do
    rm -f "$work/zip/out.zip"
    t0=$(now)
    (cd "$folder" && zip -r -6 -q "$work/zip/out.zip" .)
    t1=$(now)
    zip_times+=("$(echo "$t1 - $t0" | bc -l)")
done
for ((i = 0; i < runs; i++)); do
    rm -f "$work/dest"/*
    first_times+=("$(backup)")
    same_times+=("$(backup)")
    echo "state $i" >"$changed"
    one_times+=("$(backup)")
done
if command -v borg >/dev/null; then
    export BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK=yes BORG_RELOCATED_REPO_ACCESS_IS_OK=yes
    export BORG_BASE_DIR=$work/borg-base
    for ((i = 0; i < runs; i++)); do
        rm -rf "$work/borg" "$BORG_BASE_DIR"
        borg init --encryption=none "$work/borg" >/dev/null 2>&1
        borg create --compression lz4 "$work/borg::first" "$folder" >/dev/null 2>&1
        t0=$(now)
        borg create --compression lz4 "$work/borg::second" "$folder" >/dev/null 2>&1
        t1=$(now)
        borg_times+=("$(echo "$t1 - $t0" | bc -l)")
    done
fi

# The last archive, made with one file changed and the rest copied, restores the folder.
mkdir -p "$work/x"
unzip -qq "$work/dest/BNCH0001.LSP" -d "$work/x" -x LSPComments.inb
diff -r "$folder" "$work/x$folder" >/dev/null || { echo "the archive's files differ from the folder" >&2; exit 1; }
rm -rf "$work/x"
echo "every archive passes unzip -t; the last one extracts identical to the folder"

zb=$(best "${zip_times[@]}"); fb=$(best "${first_times[@]}")
sb=$(best "${same_times[@]}"); ob=$(best "${one_times[@]}")
printf 'zip -r -6 -q, first run:            %.2f s\n' "$zb"
printf 'quillet, first backup:              %.2f s (%.2f x zip)\n' "$fb" "$(echo "$fb / $zb" | bc -l)"
printf 'quillet, second backup, unchanged:  %.2f s (%.3f x zip; target at most 0.15)\n' "$sb" "$(echo "$sb / $zb" | bc -l)"
printf 'quillet, one changed file:          %.2f s (%.3f x zip; target at most 0.2)\n' "$ob" "$(echo "$ob / $zb" | bc -l)"
printf '| second backup, nothing changed, console mode: %s files, %s bytes (`bench/unchanged`, warm cache, best of %s) | %.2f s | `zip -r -6 -q` first run: %.2f s | %.3f (target at most 0.15) |\n' \
    "$files" "$bytes" "$runs" "$sb" "$zb" "$(echo "$sb / $zb" | bc -l)"
printf '| backup with one changed file, same folder | %.2f s | `zip -r -6 -q` first run: %.2f s | %.3f (target at most 0.2) |\n' \
    "$ob" "$zb" "$(echo "$ob / $zb" | bc -l)"
if [ ${#borg_times[@]} -gt 0 ]; then
    bb=$(best "${borg_times[@]}")
    printf 'borg create, second run (lz4):      %.2f s; quillet second backup %.2f x borg (target at most 0.5)\n' "$bb" "$(echo "$sb / $bb" | bc -l)"
    printf '| second backup, nothing changed, against borg | %.2f s | `borg create` (lz4) second run: %.2f s | %.2f (target at most 0.5) |\n' \
        "$sb" "$bb" "$(echo "$sb / $bb" | bc -l)"
else
    echo "borg is not installed: no borg figure"
fi
rm -f "$changed"
