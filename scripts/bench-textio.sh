#!/usr/bin/env bash
# Text reader and writer throughput next to glibc iconv on the same bytes.
#
# Builds bench_textio in Release, lets it generate its input files (about
# 32 MiB each, fixed seed) and measure the reader and writer, then times iconv
# doing the same decoding and encoding and prints one table. A report, not a
# test: no speed is asserted. Best of 3 runs on both sides.
#
#   scripts/bench-textio.sh              build dir ./build
#   BUILD_DIR=build-bench scripts/bench-textio.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
runs=3

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BUILD_BENCH=ON >/dev/null
ninja -C "$build" -j "$(nproc 2>/dev/null || echo 2)" bench_textio

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-textio.XXXXXX")
trap 'rm -rf "$work"' EXIT
in="$work/in"

# Generates the inputs into $in (kept for iconv) and measures ours.
"$build/bench/bench_textio" --textio_dir="$in" \
    --benchmark_repetitions="$runs" --benchmark_display_aggregates_only=true \
    --benchmark_out="$work/ours.csv" --benchmark_out_format=csv

# Best bytes_per_second of the repetitions of one benchmark, in MB/s (10^6).
ours_rate() {
    awk -F, -v name="\"$1/real_time\"" '
        $1 == name && $6 != "" { if ($6 > best) best = $6 }
        END { if (best > 0) printf "%.0f", best / 1e6; else printf "n/a" }' "$work/ours.csv"
}

now_us() {
    local t=$EPOCHREALTIME
    echo "${t/./}"
}

# Best of $runs wall times (microseconds) of: iconv -f $1 -t $2 $3 > $4
iconv_best_us() {
    local best=0 start end i
    for ((i = 0; i < runs; i++)); do
        start=$(now_us)
        iconv -f "$1" -t "$2" "$3" >"$4"
        end=$(now_us)
        if ((best == 0 || end - start < best)); then best=$((end - start)); fi
    done
    echo "$best"
}

mbps() {  # bytes, microseconds
    awk -v b="$1" -v us="$2" 'BEGIN { printf "%.0f", b / us }'
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else printf "n/a" }'
}

# name, iconv charset, encoded file, its UTF-16 LE copy
formats=(
    "UTF-8|UTF-8|mixed.utf8|mixed.utf16le"
    "UTF-16LE|UTF-16LE|mixed.utf16le|mixed.utf16le"
    "windows-1252|CP1252|latin.cp1252|latin.utf16le"
    "Shift_JIS|CP932|japanese.sjis|japanese.utf16le"
)

echo
echo "MB/s = 10^6 bytes of the encoded file per second: input bytes for decode, output bytes for encode."
echo "Decode: file -> UTF-16 (ours: 32K-unit chunks in memory; iconv: to /dev/null)."
echo "Encode: UTF-16 -> file (ours: from memory; iconv: from the UTF-16LE copy, to a file)."
echo "'same' = iconv's output is byte-identical to ours. Best of $runs runs each."
echo
printf '%-13s %-9s %10s %10s %7s %5s\n' format direction "ours MB/s" "iconv MB/s" ratio same
printf '%-13s %-9s %10s %10s %7s %5s\n' ------------- --------- ---------- ---------- ------- -----
for row in "${formats[@]}"; do
    IFS='|' read -r name charset file copy <<<"$row"
    bytes=$(stat -c %s "$in/$file")

    us=$(iconv_best_us "$charset" UTF-16LE "$in/$file" /dev/null)
    theirs=$(mbps "$bytes" "$us")
    ours=$(ours_rate "read/$name")
    iconv -f "$charset" -t UTF-16LE "$in/$file" | cmp -s - "$in/$copy" && same=yes || same=no
    printf '%-13s %-9s %10s %10s %7s %5s\n' "$name" decode "$ours" "$theirs" "$(ratio "$ours" "$theirs")" "$same"

    us=$(iconv_best_us UTF-16LE "$charset" "$in/$copy" "$work/iconv.out")
    theirs=$(mbps "$bytes" "$us")
    ours=$(ours_rate "write/$name")
    cmp -s "$work/iconv.out" "$in/$file" && same=yes || same=no
    printf '%-13s %-9s %10s %10s %7s %5s\n' "$name" encode "$ours" "$theirs" "$(ratio "$ours" "$theirs")" "$same"
done
