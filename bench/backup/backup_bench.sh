#!/bin/bash
# A whole unattended backup in console mode (quillet -P=NAME --console: start-up, record
# files, selection scan, packing, comment item, read-back check, rotation) at the three
# engine levels (fast, standard, maximum) against `zip -r -6 -q`, `tar c | gzip -6`, and
# `borg create` and `restic backup` when they are installed (scripts/bench-peers installs
# them), over the same folder, side by side in one run: wall time, warm cache, sizes.
#
#   bench/backup/backup_bench.sh [--quillet build/quillet] [--runs N] [--work DIR] [folder]
#
# Without a folder, the library benchmark's data is used: a copy of the regular files of
# /usr/include and /usr/share/doc in the work folder (made once; bench/lsp makes the same).
# Each figure is the best of N runs (default 3); the median is printed too. The last lines
# are the rows for the README's performance table.
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
bench_prepare quillet-backup-bench

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
best() { printf '%s\n' "$@" | sort -g | head -1; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# The engine level is an archive setting (1 fast, 2 standard, 3 maximum).
set_level() { printf '[Compression_Method]\nCompression_Engine=%s\n' "$1" >"$QUILLET_HOME/LSPprefs.ini"; }

tools=(fast standard maximum zip tar)
command -v borg >/dev/null && tools+=(borg)
command -v restic >/dev/null && tools+=(restic)
declare -A times sizes data
# Compressed bytes of the items alone: Quillet stores absolute paths, zip paths relative to
# the folder, so the archives differ by the names as well.
packed_data() { zipinfo -t "$1" | sed -n 's/.* uncompressed, \([0-9]*\) bytes compressed.*/\1/p'; }
export BORG_PASSPHRASE= BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK=yes RESTIC_PASSWORD=bench

# Runs one tool once; prints its wall time and leaves its output size in $size.
run_one() {
    local t0 t1
    case "$1" in
        fast | standard | maximum)
            case "$1" in fast) set_level 1 ;; standard) set_level 2 ;; maximum) set_level 3 ;; esac
            rm -f "$work/dest"/*
            t0=$(now)
            "$quillet" -P=BENCH --console >"$work/out.txt" 2>"$work/err.txt" || {
                echo "the backup failed:" >&2; cat "$work/out.txt" "$work/err.txt" >&2; exit 1; }
            t1=$(now)
            unzip -tqq "$work/dest/BNCH0001.LSP" >/dev/null || { echo "unzip -t fails on the $1 backup" >&2; exit 1; } ;;
        zip)
            rm -f "$work/zip/out.zip"
            t0=$(now); (cd "$folder" && zip -r -6 -q "$work/zip/out.zip" .); t1=$(now) ;;
        tar)
            t0=$(now); tar -C "$folder" -cf - . | gzip -6 >"$work/zip/out.tar.gz"; t1=$(now) ;;
        borg)
            rm -rf "$work/borg"; borg init --encryption=none "$work/borg" >/dev/null 2>&1
            t0=$(now); (cd "$folder" && borg create "$work/borg::first" . >/dev/null 2>&1); t1=$(now) ;;
        restic)
            rm -rf "$work/restic"; restic -q init --repo "$work/restic" >/dev/null
            t0=$(now); (cd "$folder" && restic -q --repo "$work/restic" backup . >/dev/null); t1=$(now) ;;
    esac
    echo "$t1 - $t0" | bc -l
}

for ((i = 0; i < runs; i++)); do
    for tool in "${tools[@]}"; do
        t=$(run_one "$tool")
        times[$tool]="${times[$tool]:-} $t"
        case "$tool" in
            fast | standard | maximum)
                size=$(stat -c %s "$work/dest/BNCH0001.LSP"); data[$tool]=$(packed_data "$work/dest/BNCH0001.LSP") ;;
            zip) size=$(stat -c %s "$work/zip/out.zip"); data[$tool]=$(packed_data "$work/zip/out.zip") ;;
            tar) size=$(stat -c %s "$work/zip/out.tar.gz") ;;
            borg) size=$(du -sb "$work/borg" | cut -f1) ;;
            restic) size=$(du -sb "$work/restic" | cut -f1) ;;
        esac
        sizes[$tool]=$size
    done
done
set_level 2

# shellcheck disable=SC2086
zb=$(best ${times[zip]}); zsize=${sizes[zip]}
printf '%-9s %8s %8s %14s %10s %9s %14s %9s\n' tool best median bytes "time/zip" "size/zip" "item data" "data/zip"
for tool in "${tools[@]}"; do
    # shellcheck disable=SC2086
    b=$(best ${times[$tool]}); m=$(median ${times[$tool]})
    d=${data[$tool]:-}
    printf '%-9s %8.2f %8.2f %14s %10.2f %9.3f %14s %9s\n' "$tool" "$b" "$m" "${sizes[$tool]}" \
        "$(echo "$b / $zb" | bc -l)" "$(echo "${sizes[$tool]} / $zsize" | bc -l)" "${d:--}" \
        "$([ -n "$d" ] && printf '%.3f' "$(echo "$d / ${data[zip]}" | bc -l)" || echo -)"
done
echo
for tool in "${tools[@]}"; do
    # shellcheck disable=SC2086
    b=$(best ${times[$tool]}); m=$(median ${times[$tool]})
    printf '| first backup, %s: %s files, %s bytes (`bench/backup/backup_bench.sh`, warm cache, best of %s) | %.2f s, %s bytes | `zip -r -6 -q`: %.2f s, %s bytes | %.2f (median %.2f), size %.3f |\n' \
        "$tool" "$files" "$bytes" "$runs" "$b" "${sizes[$tool]}" "$zb" "$zsize" \
        "$(echo "$b / $zb" | bc -l)" "$(echo "$m / $zb" | bc -l)" "$(echo "${sizes[$tool]} / $zsize" | bc -l)"
done
