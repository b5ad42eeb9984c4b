#!/usr/bin/env bash
# The file converter next to iconv and uconv on large files, its peak memory,
# and how much of a large file detection reads.
#
# Configures and builds bench_convert in a Release tree of its own, generates
# the inputs (realistic text from a fixed seed, 128 MiB each), converts each
# with our converter (the default job setting: 2048-unit chunks, 4096-byte
# buffers), glibc iconv and ICU uconv, best of 3 wall times each, and prints
# one table. A report, not a test: no speed is asserted. Temporary files are
# removed at exit.
#
#   scripts/bench-convert.sh                 build dir ./build-bench-convert
#   BUILD_DIR=build-rel scripts/bench-convert.sh
#   BENCH_MIB=32 scripts/bench-convert.sh    smaller inputs for a quick look
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build-bench-convert}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
mib=${BENCH_MIB:-128}
runs=3

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVARNEL_BUILD_BENCH=ON -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_GUI=OFF >/dev/null
ninja -C "$build" -j "$(nproc 2>/dev/null || echo 2)" bench_convert >/dev/null
bench="$build/bench/convert/bench_convert"

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-convert.XXXXXX")
trap 'rm -rf "$work"' EXIT

have() { command -v "$1" >/dev/null 2>&1; }

# Best of $runs runs of the command given as arguments: "<wall us> <cpu us>",
# each the smallest seen; CPU is user + system time of every process of the
# command (a pipeline's too), which other load on the machine disturbs less.
best_times() {
    local best_wall=0 best_cpu=0 i t wall cpu
    for ((i = 0; i < runs; i++)); do
        t=$( { TIMEFORMAT='%3R %3U %3S'; time "$@" >/dev/null 2>/dev/null; } 2>&1 )
        read -r wall cpu <<<"$(awk '{ printf "%.0f %.0f", $1 * 1e6, ($2 + $3) * 1e6 }' <<<"$t")"
        if ((best_wall == 0 || wall < best_wall)); then best_wall=$wall; fi
        if ((best_cpu == 0 || cpu < best_cpu)); then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}

mbps() {  # bytes, microseconds
    awk -v b="$1" -v us="$2" 'BEGIN { if (us > 0) printf "%.0f", b / us; else printf "n/a" }'
}

same() {  # file, file
    if [ ! -f "$2" ]; then echo "n/a"; elif cmp -s "$1" "$2"; then echo yes; else echo NO; fi
}

# The tools as plain commands, so best_times can time them alike.
run_ours() { "$bench" convert "$@"; }
# The same with 64 KiB buffers and chunks, the top of the settings' range.
run_ours_64k() { BENCH_CONVERT_BUFFERS=65536,65536,65536 "$bench" convert "$@"; }
run_iconv() { iconv -f "$1" -t "$2" "$3" -o "$4"; }
run_uconv() { uconv -f "$1" -t "$2" -o "$4" "$3"; }
run_iconv_lf() { iconv -f UTF-8 -t UTF-8 "$1" | tr -d '\r' >"$2"; }
run_uconv_lf() { uconv -f UTF-8 -t UTF-8 "$1" | tr -d '\r' >"$2"; }

echo "Generating ${mib} MiB inputs in $work ..."
"$bench" generate latin "$work/latin.cp1252" "$mib" CP1252 >/dev/null
"$bench" generate japanese "$work/japanese.sjis" "$mib" CP932 >/dev/null
"$bench" generate chinese "$work/chinese.gb18030" "$mib" GB18030 >/dev/null
"$bench" generate mixed "$work/mixed.utf8" "$mib" UTF-8 >/dev/null
"$bench" generate mixed "$work/mixed.utf16le" "$mib" UTF-16LE >/dev/null
"$bench" generate mixed "$work/mixed-crlf.utf8" "$mib" UTF-8 crlf >/dev/null

# label | input | our code page, format, return type | iconv from, to | uconv from, to
rows=(
    "windows-1252 -> UTF-8|latin.cp1252|1252 UTF8 NOCHANGE|CP1252 UTF-8|windows-1252 UTF-8"
    "Shift_JIS -> UTF-8|japanese.sjis|932 UTF8 NOCHANGE|CP932 UTF-8|windows-31j UTF-8"
    "GB18030 -> UTF-8|chinese.gb18030|54936 UTF8 NOCHANGE|GB18030 UTF-8|gb18030 UTF-8"
    "UTF-8 -> UTF-16LE|mixed.utf8|65001 UTF16LE NOCHANGE|UTF-8 UTF-16LE|UTF-8 UTF-16LE"
    "UTF-16LE -> UTF-8|mixed.utf16le|1200 UTF8 NOCHANGE|UTF-16LE UTF-8|UTF-16LE UTF-8"
    "UTF-8 CRLF -> LF|mixed-crlf.utf8|65001 UTF8 LF|lf|lf"
)

echo
echo "Load average before the timings: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc 2>/dev/null || echo '?') CPUs."
echo "MB/s = 10^6 input bytes per second, best of $runs runs, each tool writing its output file in"
echo "the same folder; by wall time, then by CPU time (user + system), which load from other"
echo "processes disturbs less. CRLF -> LF: iconv and uconv (UTF-8 to UTF-8) piped into tr -d '\r'"
echo "(the same output for this input, which has no lone CR). ours: the default job setting"
echo "(2048-unit chunks, 4 KiB buffers); ours 64K: 64 KiB chunks and buffers. ratio = ours / the"
echo "faster of iconv and uconv. 'same' = byte-identical to our output."

ratio() {  # ours, iconv, uconv rates
    awk -v o="$1" -v i="$2" -v u="$3" 'BEGIN {
        best = (i + 0 > u + 0) ? i : u
        if (o + 0 > 0 && best + 0 > 0) printf "%.2f", o / best; else printf "n/a" }'
}
header() {
    echo
    echo "$1"
    printf '%-20s %6s %10s %10s %10s %10s %6s %6s %6s\n' conversion MiB "ours MB/s" "ours 64K" "iconv MB/s" \
        "uconv MB/s" ratio iconv uconv
    printf '%-20s %6s %10s %10s %10s %10s %6s %6s %6s\n' -------------------- ------ ---------- ---------- \
        ---------- ---------- ------ ------ ------
}

wall_table=() cpu_table=()
for row in "${rows[@]}"; do
    IFS='|' read -r label file ours iconv_args uconv_args <<<"$row"
    in="$work/$file"
    bytes=$(stat -c %s "$in")
    read -r cp format ret <<<"$ours"
    read -r ours_wall ours_cpu <<<"$(best_times run_ours "$in" "$work/out.ours" "$cp" "$format" "$ret")"
    read -r o64_wall o64_cpu <<<"$(best_times run_ours_64k "$in" "$work/out.ours64" "$cp" "$format" "$ret")"
    iconv_wall=0 iconv_cpu=0 uconv_wall=0 uconv_cpu=0
    if have iconv; then
        if [ "$iconv_args" = lf ]; then
            read -r iconv_wall iconv_cpu <<<"$(best_times run_iconv_lf "$in" "$work/out.iconv")"
        else
            read -r iconv_wall iconv_cpu <<<"$(best_times run_iconv $iconv_args "$in" "$work/out.iconv")"
        fi
    fi
    if have uconv; then
        if [ "$uconv_args" = lf ]; then
            read -r uconv_wall uconv_cpu <<<"$(best_times run_uconv_lf "$in" "$work/out.uconv")"
        else
            read -r uconv_wall uconv_cpu <<<"$(best_times run_uconv $uconv_args "$in" "$work/out.uconv")"
        fi
    fi
    size=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
    same_iconv=$(same "$work/out.ours" "$work/out.iconv")
    same_uconv=$(same "$work/out.ours" "$work/out.uconv")
    for kind in wall cpu; do
        o=ours_$kind o64=o64_$kind i=iconv_$kind u=uconv_$kind
        o=${!o} o64=${!o64} i=${!i} u=${!u}
        line=$(printf '%-20s %6s %10s %10s %10s %10s %6s %6s %6s' "$label" "$size" "$(mbps "$bytes" "$o")" \
            "$(mbps "$bytes" "$o64")" "$(mbps "$bytes" "$i")" "$(mbps "$bytes" "$u")" \
            "$(ratio "$(mbps "$bytes" "$o")" "$(mbps "$bytes" "$i")" "$(mbps "$bytes" "$u")")" \
            "$same_iconv" "$same_uconv")
        if [ "$kind" = wall ]; then wall_table+=("$line"); else cpu_table+=("$line"); fi
    done
    if ! cmp -s "$work/out.ours" "$work/out.ours64"; then
        wall_table+=("  (!) the 64K run wrote other bytes than the default one")
    fi
    rm -f "$work/out.ours" "$work/out.ours64" "$work/out.iconv" "$work/out.uconv"
done
header "By wall time:"
printf '%s\n' "${wall_table[@]}"
header "By CPU time:"
printf '%s\n' "${cpu_table[@]}"
rm -f "$work/japanese.sjis" "$work/chinese.gb18030" "$work/mixed.utf16le" "$work/mixed-crlf.utf8"

echo
echo "Peak resident set of one conversion (windows-1252 -> UTF-8): it must not grow with the file."
head -c $((32 << 20)) "$work/latin.cp1252" >"$work/rss-32.txt"
for ((i = 0; i < 4; i++)); do cat "$work/latin.cp1252"; done >"$work/rss-512.txt"
rm -f "$work/mixed.utf8"
printf '%-10s %16s %18s\n' input "VmHWM (KiB)" "time -v max RSS (KiB)"
for size in 32 512; do
    in="$work/rss-$size.txt"
    line=$("$bench" convert "$in" "$work/out.ours" 1252 UTF8 NOCHANGE)
    vmhwm=$(sed -n 's/.*vmhwm_kb=\([0-9]*\).*/\1/p' <<<"$line")
    maxrss=n/a
    if [ -x /usr/bin/time ]; then
        maxrss=$( { /usr/bin/time -v "$bench" convert "$in" "$work/out.ours" 1252 UTF8 NOCHANGE >/dev/null; } 2>&1 |
            sed -n 's/.*Maximum resident set size (kbytes): *//p')
    fi
    printf '%-10s %16s %18s\n' "$(awk -v b="$(stat -c %s "$in")" 'BEGIN { printf "%.0f MiB", b / 1048576 }')" \
        "$vmhwm" "$maxrss"
    rm -f "$in" "$work/out.ours"
done

echo
echo "Detection of a 64 MiB file (2048-byte blocks, 4 MiB sample): bytes read from files by the"
echo "whole detection (rchar), and bytes fed to the statistical detector."
head -c $((64 << 20)) "$work/latin.cp1252" >"$work/detect-64.txt"
rm -f "$work/latin.cp1252"
line=$("$bench" detect "$work/detect-64.txt")
echo "  $line"
awk -v line="$line" 'BEGIN {
    n = split(line, kv, " ")
    for (i = 1; i <= n; i++) { split(kv[i], p, "="); v[p[1]] = p[2] }
    printf "  statistics fed %.2f MiB of the %.0f MiB sample (%s); all passes together read %.2f MiB of %.0f MiB\n",
        v["statistics_fed"] / 1048576, v["sample_bytes"] / 1048576,
        (v["statistics_fed"] <= v["sample_bytes"] ? "within" : "OVER"),
        v["read_bytes"] / 1048576, v["file_bytes"] / 1048576 }'
