#!/bin/bash
# Testing and restoring every item of one archive, against `unzip -t` and `unzip -o -q`
# on the same archive, wall time, warm cache: `quillet test` and `quillet restore`
# (console), and the two windows (offscreen, bench_restore_window).
#
#   bench/restore/restore_bench.sh [--build build] [--runs N] [--work DIR] [folder]
#
# Without a folder, the backup benchmark's data is used: a copy of the regular files of
# /usr/include and /usr/share/doc in the work folder (made once). The archive is made by
# `quillet backup`. Each restore starts after a sync. Each figure is the best of N runs
# (default 3); the last lines are the ratios (targets: restore at most 1.0 x unzip -o -q,
# test at most 0.6 x unzip -t).
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
build=$here/build
runs=3
work=
folder=
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
        *) folder=$1; shift ;;
    esac
done
quillet=$build/quillet
window=$build/bench/restore/bench_restore_window
[ -x "$quillet" ] || { echo "no program at $quillet (build it, or give --build)" >&2; exit 1; }
. "$here/bench/bench_data.sh"
bench_prepare quillet-restore-bench

export QUILLET_HOME=$work/home
if [ ! -f "$work/dest/BNCH0001.LSP" ]; then
    rm -rf "$QUILLET_HOME" "$work/dest"
    mkdir -p "$work/dest"
    "$quillet" project add BENCH --dest "$work/dest" --prefix BNCH --max 1 --notes "benchmark" >/dev/null
    "$quillet" component add BENCH --path "$folder" --mask "*.*" --recurse >/dev/null
    "$quillet" backup BENCH >/dev/null
fi
archive=$work/dest/BNCH0001.LSP
items=$(unzip -Z1 "$archive" | wc -l)
echo "archive: $archive, $items items, $(stat -c %s "$archive") bytes; best of $runs runs"
cat "$archive" >/dev/null

now() { date +%s.%N; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
time_of() {  # command... -> seconds
    local t0 t1
    t0=$(now)
    "$@" >/dev/null 2>&1 || true
    t1=$(now)
    echo "$t1 - $t0" | bc -l
}

declare -a q_restore u_restore q_test u_test w_restore w_test
for ((i = 0; i < runs; i++)); do
    rm -rf "$work/q" "$work/u" "$work/w"
    mkdir -p "$work/q" "$work/u" "$work/w"
    # Each restore starts with the disk clear of what the run before it wrote or removed.
    sync
    q_restore+=("$(time_of "$quillet" restore "$archive" --to "$work/q" --paths --create-dirs --overwrite)")
    sync
    u_restore+=("$(time_of unzip -o -q "$archive" -d "$work/u")")
    q_test+=("$(time_of "$quillet" test "$archive")")
    u_test+=("$(time_of unzip -t "$archive")")
    if [ -x "$window" ]; then
        sync
        out=$(QT_QPA_PLATFORM=offscreen "$window" "$archive" "$work/w" 2>/dev/null)
        w_test+=("$(echo "$out" | sed -n 's/^test window: \([0-9.]*\) s.*/\1/p')")
        w_restore+=("$(echo "$out" | sed -n 's/^restore window: \([0-9.]*\) s.*/\1/p')")
    fi
done
diff -r "$folder" "$work/q$folder" >/dev/null || { echo "FAILED: restored files differ" >&2; exit 1; }
if [ ${#w_restore[@]} -gt 0 ]; then
    diff -r "$folder" "$work/w$folder" >/dev/null || { echo "FAILED: the window's restored files differ" >&2; exit 1; }
fi

qr=$(best "${q_restore[@]}"); ur=$(best "${u_restore[@]}")
qt=$(best "${q_test[@]}"); ut=$(best "${u_test[@]}")
printf 'quillet restore: %.3f s   unzip -o -q: %.3f s   ratio %.2f (target at most 1.0)\n' "$qr" "$ur" "$(echo "$qr / $ur" | bc -l)"
printf 'quillet test:    %.3f s   unzip -t:    %.3f s   ratio %.2f (target at most 0.6)\n' "$qt" "$ut" "$(echo "$qt / $ut" | bc -l)"
if [ ${#w_restore[@]} -gt 0 ]; then
    wr=$(best "${w_restore[@]}"); wt=$(best "${w_test[@]}")
    printf 'restore window:  %.3f s   ratio %.2f\n' "$wr" "$(echo "$wr / $ur" | bc -l)"
    printf 'test window:     %.3f s   ratio %.2f\n' "$wt" "$(echo "$wt / $ut" | bc -l)"
fi
