#!/usr/bin/env bash
# Builds a fuzz target of the library pair with clang's libFuzzer (address and
# undefined-behaviour sanitizers) and fuzzes it.
#   reader     any bytes as an archive: listed, tested and extracted (fuzz_reader.cpp).
#              Seeds are made with zip and with the packing library itself.
#   roundtrip  files made from the bytes are packed, listed, tested and unpacked again
#              (fuzz_roundtrip.cpp).
#   bench/lsp/fuzz.sh [seconds [reader|roundtrip]]   (default 600 reader)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
seconds=${1:-600}
target=${2:-reader}
work=${LSP_FUZZ_DIR:-$top/build-fuzz}
# The platform helpers the library pair uses, and the libraries it links.
platform=("$top"/platform/{CrashPoint,DateCodes,EventsThrough,Folders,Utf8Text}.cpp)
libs=(-lz -lbz2 -ldeflate -lisal -pthread)
cxx=$(command -v clang++-14 || command -v clang++ || true)
[ -n "$cxx" ] || { echo "clang++ is needed for fuzzing" >&2; exit 2; }
fuzz_flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$top")

case $target in
reader)
    mkdir -p "$work/corpus" "$work/seeds-src/sub"
    "$cxx" "${fuzz_flags[@]}" "$top"/lsp/{EntryData,Extract,Shared,Unpack,ZipDirectory,ZipFormat,ZipNames}.cpp \
        "${platform[@]}" "$top/bench/lsp/fuzz_reader.cpp" "${libs[@]}" -o "$work/fuzz_reader"
    if [ -z "$(ls -A "$work/corpus")" ]; then
        cd "$work/seeds-src"
        printf 'hello hello hello\n' > a.txt
        head -c 3000 /dev/urandom > sub/b.bin
        ln -sf a.txt link
        zip -q -X "$work/corpus/deflate.zip" a.txt sub/b.bin
        zip -q -X -0 "$work/corpus/stored.zip" a.txt
        zip -q -y "$work/corpus/link.zip" link a.txt
        zip -q -r "$work/corpus/folders.zip" sub
        printf 'x' | zip -q "$work/corpus/stream.zip" -
        cd - >/dev/null
        "$cxx" -std=c++20 -O1 -I"$top" "$top"/lsp/*.cpp "${platform[@]}" "$top/bench/lsp/fuzz_seeds.cpp" "${libs[@]}" -o "$work/fuzz_seeds"
        "$work/fuzz_seeds" "$work/seeds-src" "$work/corpus"
    fi
    cd "$work"
    exec ./fuzz_reader -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 corpus
    ;;
roundtrip)
    mkdir -p "$work/corpus-roundtrip"
    "$cxx" "${fuzz_flags[@]}" "$top"/lsp/*.cpp "${platform[@]}" "$top/bench/lsp/fuzz_roundtrip.cpp" "${libs[@]}" -o "$work/fuzz_roundtrip"
    cd "$work"
    exec ./fuzz_roundtrip -max_total_time="$seconds" -max_len=4096 -len_control=0 -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 corpus-roundtrip
    ;;
*)
    echo "unknown fuzz target: $target (reader or roundtrip)" >&2
    exit 2
    ;;
esac
