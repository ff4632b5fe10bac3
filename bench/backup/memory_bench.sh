#!/bin/bash
# Peak memory (maximum resident set, /usr/bin/time -v) of whole unattended backups in
# console mode (quillet -P=NAME --console): a first backup, then a second one of the same
# unchanged folder, which copies every file packed from the first archive. Printed beside
# the peak of the file selection scan alone (bench_scan over the same folder).
#
#   bench/backup/memory_bench.sh [--quillet build/quillet] [--scan build/bench/scan/bench_scan]
#                                [--work DIR] [folder]
#
# Without a folder, bench_scan --keep makes the 100,000 files in 5,000 folders of the scan
# benchmark (removed again at the end). Both archives must pass `unzip -t`. The last line
# is the row for the README's performance table.
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
quillet=$here/build/quillet
scan=$here/build/bench/scan/bench_scan
work=
folder=
while [ $# -gt 0 ]; do
    case "$1" in
        --quillet) quillet=$2; shift 2 ;;
        --scan) scan=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
        *) folder=$1; shift ;;
    esac
done
[ -x "$quillet" ] || { echo "no program at $quillet (build it, or give --quillet)" >&2; exit 1; }
[ -x "$scan" ] || { echo "no scan benchmark at $scan (build it, or give --scan)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (Debian package time)" >&2; exit 1; }
[ -n "$work" ] || work=${TMPDIR:-/tmp}/quillet-memory-bench
mkdir -p "$work"
work=$(cd "$work" && pwd)

made=
if [ -z "$folder" ]; then
    out=$("$scan" --keep)
    folder=$(printf '%s\n' "$out" | sed -n 's/^built .* under \(.*\) ([0-9.]* s)$/\1/p')
    [ -d "$folder" ] || { echo "bench_scan made no folder:" >&2; printf '%s\n' "$out" >&2; exit 1; }
    made=$folder
else
    folder=$(cd "$folder" && pwd)
    out=$("$scan" "$folder")
fi
trap '[ -z "$made" ] || rm -rf "$made"' EXIT
scan_mb=$(printf '%s\n' "$out" | sed -n 's/^peak memory of the scanning process: \([0-9.]*\) MB$/\1/p')

export QUILLET_HOME=$work/home
rm -rf "$QUILLET_HOME" "$work/dest"
mkdir -p "$work/dest"
"$quillet" project add MEMORY --dest "$work/dest" --prefix MEMO --max 2 --notes "benchmark" >/dev/null
"$quillet" component add MEMORY --path "$folder" --mask "*.*" --recurse >/dev/null
files=$(find "$folder" -type f | wc -l)
bytes=$(find "$folder" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
echo "data: $folder, $files files, $bytes bytes"

# Runs one backup; prints its peak in MB and its processor seconds.
backup() {
    /usr/bin/time -v -o "$work/time.txt" "$quillet" -P=MEMORY --console >"$work/out.txt" 2>"$work/err.txt" || {
        echo "the backup failed:" >&2; cat "$work/out.txt" "$work/err.txt" "$work/time.txt" >&2; exit 1; }
    local kb user sys
    kb=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): \([0-9]*\)$/\1/p' "$work/time.txt")
    user=$(sed -n 's/^[[:space:]]*User time (seconds): \([0-9.]*\)$/\1/p' "$work/time.txt")
    sys=$(sed -n 's/^[[:space:]]*System time (seconds): \([0-9.]*\)$/\1/p' "$work/time.txt")
    echo "$(echo "$kb / 1024" | bc -l) $(echo "$user + $sys" | bc -l)"
}

read -r first_mb first_cpu < <(backup)
unzip -tqq "$work/dest/MEMO0001.LSP" >/dev/null || { echo "unzip -t fails on the first backup" >&2; exit 1; }
read -r second_mb second_cpu < <(backup)
for a in "$work/dest/MEMO0001.LSP" "$work/dest/MEMO0002.LSP"; do
    unzip -tqq "$a" >/dev/null || { echo "unzip -t fails on $a" >&2; exit 1; }
done
echo "both archives pass unzip -t"
items=$(zipinfo -1 "$work/dest/MEMO0001.LSP" | wc -l)

printf 'scan alone (bench_scan):   %6.1f MB\n' "$scan_mb"
printf 'first backup:              %6.1f MB  (%.1f s processor time)\n' "$first_mb" "$first_cpu"
printf 'second backup (copies):    %6.1f MB  (%.1f s processor time)\n' "$second_mb" "$second_cpu"
printf '| peak memory (maximum resident, `/usr/bin/time -v`) of a whole `quillet -P=NAME --console` backup of the %s files of `bench_scan --keep` (%s bytes, %s items in each archive; `bench/backup/memory_bench.sh`): first backup / second backup copying every file | %.0f MB / %.0f MB | the scan alone (`bench_scan`): %.0f MB | target under 100 MB |\n' \
    "$files" "$bytes" "$items" "$first_mb" "$second_mb" "$scan_mb"
