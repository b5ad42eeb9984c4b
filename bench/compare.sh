#!/usr/bin/env bash
# varnelpro next to the common command-line tools doing the same work, in one
# run: large single files in several code pages, a CR LF file, a mixed tree of
# many small files, and detection alone. Prints a Markdown report (medians,
# MB/s or files/s, peak RSS, and the ratios program/peer and program/floor).
#
#   bench/compare.sh                       report on standard output
#   bench/compare.sh --write               also write docs/performance.md
#   bench/compare.sh --program=PATH        another build of varnelpro
#   SIZE_MIB=4 FILES=500 RUNS=3 bench/compare.sh     a quick look
#
# Environment: VARNELPRO (program, default build/app/varnelpro of this
# repository), WORK (corpora and outputs, default /var/tmp/varnel-compare; on
# disk, not in RAM), SIZE_MIB (each large file, default 128), FILES (the tree,
# default 20000), DETECT_MIB (detection sample, default 4), RUNS (default 5),
# WARMUP (default 1), MAKE_TREE (the tree generator, default
# build/tools/make_mixed_tree; when it is missing, or with MAKE_TREE=none, a
# built-in tree of 1-16 KiB files in eight encodings, 4 % binary, 1 % empty).
#
# Corpora are generated once and kept in WORK; outputs are removed after each
# row. As root, missing tools are installed with apt-get; otherwise each
# missing peer is named and skipped. Progress goes to standard error.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${VARNELPRO:-$root/build/app/varnelpro}
write=0
for arg in "$@"; do
    case "$arg" in
    --write) write=1 ;;
    --program=*) program=${arg#--program=} ;;
    -h | --help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    *) echo "compare: unknown argument $arg (see --help)" >&2; exit 2 ;;
    esac
done
case "$program" in /*) ;; *) program="$PWD/$program" ;; esac
work=${WORK:-/var/tmp/varnel-compare}
size_mib=${SIZE_MIB:-128}
files=${FILES:-20000}
detect_mib=${DETECT_MIB:-4}
runs=${RUNS:-5}
warmup=${WARMUP:-1}
make_tree=${MAKE_TREE:-$root/build/tools/make_mixed_tree}

log() { echo "compare: $*" >&2; }

if [ ! -x "$program" ]; then
    log "no program at $program (build it with ./test.sh, or pass --program=PATH)"
    exit 2
fi

# --- tools ------------------------------------------------------------------

# command:package pairs, all in Debian.
tools=(hyperfine:hyperfine iconv:libc-bin uconv:icu-devtools recode:recode python3:python3
    dos2unix:dos2unix uchardet:uchardet /usr/bin/time:time tr:coreutils xargs:findutils)
have() { command -v "$1" >/dev/null 2>&1; }
missing=()
for pair in "${tools[@]}"; do
    have "${pair%%:*}" || missing+=("${pair#*:}")
done
if [ "${#missing[@]}" -gt 0 ] && [ "$(id -u)" -eq 0 ] && have apt-get; then
    log "installing ${missing[*]}"
    apt-get update -qq >&2 || true
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2 || true
fi
for pair in "${tools[@]}"; do
    have "${pair%%:*}" || log "missing ${pair%%:*} (Debian package ${pair#*:}): its rows or columns are skipped"
done
for needed in hyperfine python3 iconv; do
    if ! have "$needed"; then
        log "$needed is needed to run at all; install it (apt-get install $needed) and run again"
        exit 2
    fi
done
have_time=0
[ -x /usr/bin/time ] && have_time=1

# --- corpora ----------------------------------------------------------------

mkdir -p "$work/corpus" "$work/out"
size=$((size_mib * 1024 * 1024))
q() { printf '%q' "$1"; }

# name language python-codec iconv-name [crlf] [bytes]: the corpus file, made when missing.
corpus() {
    local name=$1 language=$2 codec=$3 target=$4 newline=${5:-lf} bytes=${6:-$size}
    local file="$work/corpus/$name-$((bytes / 1024))KiB.txt"
    if [ ! -s "$file" ]; then
        log "generating $file"
        python3 "$root/bench/compare-corpus.py" "$language" "$bytes" "$codec" "$newline" |
            iconv -f UTF-8 -t "$target" >"$file.tmp"
        mv "$file.tmp" "$file"
    fi
    echo "$file"
}

# --- measuring --------------------------------------------------------------

# Results: key "row|label" -> median seconds, peak RSS KiB, note.
declare -A median rss note
declare -a row_labels   # labels of the current row, in order
report="$work/report.md"
details="$work/details.md"
: >"$details"

# measure ROW LABEL KIND PREPARE COMMAND [OUTPUT REFERENCE]
# KIND: program, peer or floor. One run under /usr/bin/time first (peak RSS, exit
# status, warm cache, and the output compared with REFERENCE), then hyperfine.
measure() {
    local row=$1 label=$2 kind=$3 prepare=$4 command=$5 output=${6:-} reference=${7:-}
    local key="$row|$label" status=0 ignore=()
    log "$row: $label"
    row_labels+=("$kind:$label")
    bash -c "$prepare"
    if [ "$have_time" -eq 1 ]; then
        /usr/bin/time -f %M -o "$work/rss" bash -c "$command" >/dev/null 2>"$work/stderr" || status=$?
        rss[$key]=$(tail -n 1 "$work/rss")
    else
        bash -c "$command" >/dev/null 2>"$work/stderr" || status=$?
    fi
    # The program ends with 1 when some files only had warnings; xargs with 123.
    if [ "$status" -ne 0 ] && ! { [ "$row" = tree ] && [ "$status" -le 1 ] || [ "$status" -eq 123 ]; }; then
        note[$key]="failed (exit $status: $(head -c 80 "$work/stderr" | tr '\n' ' '))"
        log "  ${note[$key]}"
        return
    fi
    [ "$status" -ne 0 ] && ignore=(-i)
    if [ -n "$reference" ] && [ -n "$output" ]; then
        if [ "$output" = "$reference" ]; then
            :
        elif cmp -s "$output" "$reference"; then
            note[$key]="same output as the program"
        else
            note[$key]="output differs from the program's"
        fi
    fi
    hyperfine --style basic --shell bash --warmup "$warmup" --runs "$runs" "${ignore[@]}" \
        --prepare "$prepare" --export-json "$work/hyperfine.json" -n "$label" "$command" >&2
    median[$key]=$(python3 -c 'import json, sys; print("%.6f" % json.load(open(sys.argv[1]))["results"][0]["median"])' \
        "$work/hyperfine.json")
}

# rate AMOUNT SECONDS -> amount per second, to three figures
rate() {
    awk -v n="$1" -v s="$2" 'BEGIN {
        if (s <= 0) { print "n/a"; exit }
        r = n / s
        printf (r >= 100 ? "%.0f" : r >= 10 ? "%.1f" : "%.2f"), r }'
}
mb() { awk -v b="$1" 'BEGIN { printf "%.6f", b / 1e6 }'; }
mib() { awk -v k="$1" 'BEGIN { if (k != "") printf "%.0f", k / 1024; else print "n/a" }'; }

# summarize ROW TITLE UNITS UNIT: one line of the main table, lines of the details.
declare -a summary
summarize() {
    local row=$1 title=$2 units=$3 unit=$4 entry kind label key r
    local prog="" prog_r="" best="" best_r=0 floor="" floor_r=""
    for entry in "${row_labels[@]}"; do
        kind=${entry%%:*} label=${entry#*:} key="$row|$label"
        r=n/a
        [ -n "${median[$key]:-}" ] && r=$(rate "$units" "${median[$key]}")
        printf '| %s | %s | %s | %s | %s | %s |\n' "$title" "$label" "${median[$key]:-n/a}" \
            "$r" "$(mib "${rss[$key]:-}")" "${note[$key]:-}" >>"$details"
        [ "$r" = n/a ] && continue
        case $kind in
        program) prog=$label prog_r=$r ;;
        floor) floor=$label floor_r=$r ;;
        peer) if awk -v a="$r" -v b="$best_r" 'BEGIN { exit !(a > b) }'; then best=$label best_r=$r; fi ;;
        esac
    done
    local ratio_peer=n/a ratio_floor=n/a
    [ -n "$prog_r" ] && [ -n "$best" ] && ratio_peer=$(awk -v a="$prog_r" -v b="$best_r" 'BEGIN { printf "%.2f", a / b }')
    [ -n "$prog_r" ] && [ -n "$floor" ] && ratio_floor=$(awk -v a="$prog_r" -v b="$floor_r" 'BEGIN { printf "%.2f", a / b }')
    summary+=("$(printf '| %s | %s %s | %s | %s | %s | %s |' "$title" "${prog_r:-n/a}" "$unit" \
        "${best:+$best $best_r $unit}" "$ratio_peer" "${floor:+$floor $floor_r $unit}" "$ratio_floor")")
    row_labels=()
}

# --- large files ------------------------------------------------------------

out="$work/out"
# Dirty pages of the last run are written out first, so no run pays for another.
clean_out="rm -rf $(q "$out") && mkdir -p $(q "$out") && sync"
largest=0 largest_title="" largest_rss=""

# file_row ROW TITLE FILE CODEPAGE ENC ICONV_FROM ICONV_TO UCONV_FROM UCONV_TO RECODE PY_FROM PY_TO
file_row() {
    local row=$1 title=$2 file=$3 cp=$4 enc=$5 if=$6 it=$7 uf=$8 ut=$9 rc=${10} pf=${11} pt=${12}
    local f o ref
    f=$(q "$file") o=$(q "$out/o") ref="$work/program.ref"
    measure "$row" varnelpro program "$clean_out" \
        "$(q "$program") -mode=FILE -in=$f -out=$o -cp=$cp -enc=$enc -bom=no"
    cp "$out/o" "$ref" 2>/dev/null || ref=""
    have iconv && measure "$row" iconv peer "$clean_out" "iconv -f $if -t $it $f >$o" "$out/o" "$ref"
    have uconv && measure "$row" uconv peer "$clean_out" "uconv -f $uf -t $ut $f >$o" "$out/o" "$ref"
    have recode && [ -n "$rc" ] && measure "$row" recode peer "$clean_out" "recode $rc <$f >$o" "$out/o" "$ref"
    have python3 && measure "$row" "python3 codecs" peer "$clean_out" \
        "python3 $(q "$work/convert.py") $pf $pt $f $o" "$out/o" "$ref"
    measure "$row" cat floor "$clean_out" "cat $f >$o"
    summarize "$row" "$title" "$(mb "$(stat -c %s "$file")")" MB/s
    if [ "$(stat -c %s "$file")" -gt "$largest" ]; then
        largest=$(stat -c %s "$file") largest_title=$title largest_rss=${rss[$row|varnelpro]:-}
    fi
    rm -rf "$out" "$work/program.ref"
    mkdir -p "$out"
}

# Python's codecs, streaming 1 MiB at a time.
cat >"$work/convert.py" <<'EOF'
import codecs, sys
decoder = codecs.getincrementaldecoder(sys.argv[1])()
encoder = codecs.getincrementalencoder(sys.argv[2])()
with open(sys.argv[3], "rb") as src, open(sys.argv[4], "wb") as dst:
    while block := src.read(1 << 20):
        dst.write(encoder.encode(decoder.decode(block)))
    dst.write(encoder.encode(decoder.decode(b"", True), True))
EOF

# recode names its charsets its own way; a pair it does not know is left out.
recode_pair() {
    have recode || return 0
    printf 'ok\n' | recode "$1..$2" >/dev/null 2>&1 && echo "$1..$2" || log "recode does not know $1..$2"
}

w1252=$(corpus windows-1252 western cp1252 WINDOWS-1252)
sjis=$(corpus shift_jis japanese shift_jis SHIFT_JIS)
gb=$(corpus gb18030 chinese gb18030 GB18030)
koi=$(corpus koi8-r russian koi8_r KOI8-R)
u8=$(corpus utf-8 mixed utf-8 UTF-8)
u16=$(corpus utf-16le mixed utf-16-le UTF-16LE)
crlf=$(corpus utf-8-crlf mixed utf-8 UTF-8 crlf)
detect_file=$(corpus koi8-r russian koi8_r KOI8-R lf $((detect_mib * 1024 * 1024)))

file_row 1252 "windows-1252 → UTF-8" "$w1252" 1252 UTF8 WINDOWS-1252 UTF-8 windows-1252 UTF-8 \
    "$(recode_pair windows-1252 UTF-8)" cp1252 utf-8
file_row sjis "Shift_JIS → UTF-8" "$sjis" 932 UTF8 SHIFT_JIS UTF-8 Shift_JIS UTF-8 \
    "$(recode_pair SHIFT_JIS UTF-8)" shift_jis utf-8
file_row gb "GB18030 → UTF-8" "$gb" 54936 UTF8 GB18030 UTF-8 GB18030 UTF-8 \
    "$(recode_pair GB18030 UTF-8)" gb18030 utf-8
file_row koi "KOI8-R → UTF-8" "$koi" 20866 UTF8 KOI8-R UTF-8 KOI8-R UTF-8 \
    "$(recode_pair KOI8-R UTF-8)" koi8_r utf-8
file_row u8 "UTF-8 → UTF-16 LE" "$u8" 65001 UTF16LE UTF-8 UTF-16LE UTF-8 UTF-16LE \
    "$(recode_pair UTF-8 UTF-16LE)" utf-8 utf-16-le
file_row u16 "UTF-16 LE → UTF-8" "$u16" 1200 UTF8 UTF-16LE UTF-8 UTF-16LE UTF-8 \
    "$(recode_pair UTF-16LE UTF-8)" utf-16-le utf-8

# CR LF → LF: the same UTF-8 text, only the line ends change.
row=crlf f=$(q "$crlf") o=$(q "$out/o") ref="$work/program.ref"
measure $row varnelpro program "$clean_out" \
    "$(q "$program") -mode=FILE -in=$f -out=$o -cp=65001 -enc=UTF8 -bom=no -rt=LF"
cp "$out/o" "$ref" 2>/dev/null || ref=""
have dos2unix && measure $row dos2unix peer "$clean_out" "dos2unix -q -n $f $o" "$out/o" "$ref"
measure $row "tr -d '\\r'" peer "$clean_out" "tr -d '\\r' <$f >$o" "$out/o" "$ref"
measure $row cat floor "$clean_out" "cat $f >$o"
summarize $row "UTF-8 CR LF → LF" "$(mb "$(stat -c %s "$crlf")")" MB/s
rm -rf "$out" "$work/program.ref" && mkdir -p "$out"

# --- the tree ---------------------------------------------------------------

tree="$work/tree-$files"
[ -x "$make_tree" ] || tree="$work/tree-builtin-$files"
if [ ! -e "$tree.done" ]; then
    rm -rf "$tree"
    mkdir -p "$tree"
    if [ -x "$make_tree" ]; then
        log "generating $tree with $make_tree"
        "$make_tree" "$tree" "$files" >&2
    else
        log "generating $tree with the built-in generator (no $make_tree)"
        python3 - "$tree" "$files" "$root/bench/compare-corpus.py" <<'EOF'
import os, random, runpy, sys
makers = runpy.run_path(sys.argv[3])["MAKERS"]
root, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(20261208)
kinds = [("western", "cp1252"), ("western", "utf-8"), ("russian", "koi8_r"), ("russian", "cp1251"),
         ("japanese", "shift_jis"), ("chinese", "gb18030"), ("mixed", "utf-8"), ("mixed", "utf-16")]
for i in range(count):
    folder = os.path.join(root, "d%d" % (i // 200 % 10), "s%d" % (i // 20))
    os.makedirs(folder, exist_ok=True)
    roll = rng.randrange(100)
    if roll < 4:
        data = bytes(rng.randrange(256) for _ in range(rng.randint(1024, 16384)))
        name = "image-%d.bin" % i
    elif roll < 5:
        data, name = b"", "empty-%d.txt" % i
    else:
        language, codec = rng.choice(kinds)
        goal, text = rng.randint(1024, 16384), ""
        while len(text.encode(codec)) < goal:
            text += "\n".join(makers[language](rng)) + "\n\n"
        data, name = text.encode(codec), "%s-%s-%d.txt" % (language, codec, i)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
EOF
    fi
    touch "$tree.done"
fi
tree_files=$(find "$tree" -type f | wc -l)
tree_maker=$(basename "$make_tree")
[ -x "$make_tree" ] || tree_maker="the built-in generator"
tree_bytes=$(du -sb "$tree" | cut -f1)

# uchardet then iconv, file by file; what iconv cannot read is copied.
cat >"$work/pipe-one.sh" <<'EOF'
out=$1
shift
for f; do
    d=${f%/*}
    [ -d "$out/$d" ] || mkdir -p "$out/$d"
    enc=$(uchardet "$f")
    iconv -f "$enc" -t UTF-8 "$f" >"$out/$f" 2>/dev/null || cp "$f" "$out/$f"
done
EOF
row=tree t=$(q "$tree") o=$(q "$out/tree") one=$(q "$work/pipe-one.sh")
# The last run's output is moved aside, not deleted, until the tree is done:
# ext4 without a journal will not hand out an inode freed in the last seconds
# (minutes while its table is unwritten) and scans past each one, so a run
# right after tens of thousands of deletions measures that scan, whatever the
# tool. The kept outputs take a few GB for as long as the tree rows run.
keep_out="[ ! -e $o ] || mv $o $(q "$out")/kept.\$(date +%s%N); sync"
measure $row varnelpro program "$keep_out" "$(q "$program") -in=$t -out=$o -r -h -c"
# The floor next, so that it meets the disk as the program did.
measure $row "cp -a" floor "$keep_out" "cp -a $t $o"
if have uchardet; then
    measure $row "uchardet+iconv serial" peer "$keep_out" "cd $t && find . -type f -print0 | xargs -0 -n 100 sh $one $o"
    measure $row "uchardet+iconv xargs -P2" peer "$keep_out" \
        "cd $t && find . -type f -print0 | xargs -0 -n 100 -P 2 sh $one $o"
fi
tree_rss=${rss[tree|varnelpro]:-}
# The program alone, so that what each file of the tree costs shows.
alone_rss=
if [ "$have_time" -eq 1 ] && /usr/bin/time -f %M -o "$work/rss" "$program" --version >/dev/null 2>&1; then
    alone_rss=$(tail -n 1 "$work/rss")
fi
summarize $row "tree of $tree_files files, detect and convert" "$tree_files" files/s
rm -rf "$out" && mkdir -p "$out"

# --- detection --------------------------------------------------------------

row=detect f=$(q "$detect_file")
measure $row varnelpro program true "$(q "$program") -d -in=$f"
have uchardet && measure $row uchardet peer true "uchardet $f"
measure $row cat floor true "cat $f >/dev/null"
summarize $row "detection, $detect_mib MiB KOI8-R" "$(mb "$(stat -c %s "$detect_file")")" MB/s
# The program names its code page by its short name; -listcp gives the IANA one.
short=$("$program" -d -v -in="$detect_file" 2>&1 >/dev/null | sed -n 's/.*Detected  *\([^ ]*\) .*/\1/p' | head -n 1)
answer_program=$("$program" -listcp 2>/dev/null | awk -F'\t' -v s="$short" '$2 == s { print $3; exit }')
answer_program=${answer_program:-$short}
answer_uchardet=n/a
have uchardet && answer_uchardet=$(uchardet "$detect_file")

# --- report -----------------------------------------------------------------

version() { "$@" 2>&1 | head -n 1 || true; }
{
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`bench/compare.sh\` (medians of $runs runs after $warmup warm-up, hyperfine)."
    echo
    echo "## Machine"
    echo
    echo "- CPU: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores"
    echo "- RAM: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
    echo "- Kernel: $(uname -sr); $(. /etc/os-release 2>/dev/null && echo "${PRETTY_NAME:-}")"
    dev=$(df -P "$work" | awk 'NR == 2 { print $1 }')
    fs=$(findmnt -no FSTYPE -T "$work" 2>/dev/null || stat -f -c %T "$work")
    rota=$(lsblk -ndo ROTA "$dev" 2>/dev/null | tr -d ' ' || true)
    kind="disk type unknown"
    [ "$rota" = 0 ] && kind="lsblk: not rotational"
    [ "$rota" = 1 ] && kind="lsblk: rotational (virtual disks often claim so)"
    model=$(lsblk -ndo MODEL "$dev" 2>/dev/null | sed 's/ *$//' || true)
    echo "- Work folder: \`$work\` on $dev${model:+ ($model)}, $fs, $kind"
    echo "- Load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
    tools_used=("$(version "$program" --version)" "$(version hyperfine --version)"
        "iconv (glibc) $(version iconv --version | sed 's/.* //')")
    have uconv && tools_used+=("$(version uconv --version | sed 's/^uconv v\([^ ]*\) *ICU \([^ ]*\).*/uconv \1, ICU \2/')")
    have recode && tools_used+=("$(version recode --version | sed 's/^Free //')")
    tools_used+=("$(version python3 --version)")
    have dos2unix && tools_used+=("$(version dos2unix --version | cut -d' ' -f1-2)")
    have uchardet && tools_used+=("uchardet $(dpkg-query -W -f='${Version}' uchardet 2>/dev/null || echo '?')")
    tools_used+=("coreutils $(version cp --version | sed 's/.* //')" "findutils $(version xargs --version | sed 's/.* //')")
    printf -- '- Tools: %s' "${tools_used[0]}"
    printf '; %s' "${tools_used[@]:1}"
    echo
    echo
    echo "## Summary"
    echo
    echo "Large files are $size_mib MiB each (MB = 10^6 bytes of input per second); ratios above 1 mean the"
    echo "program is faster. The floor is copying the same bytes with \`cat\` (or the tree with \`cp -a\`)"
    echo "on the same disk; for detection, reading the file with \`cat\`. Each run of the tree writes a"
    echo "new output folder and the earlier ones are deleted only after the tree rows: ext4 without a"
    echo "journal skips inodes freed in the last seconds, and the first run after deleting a tree's"
    echo "worth of files spends its time in that scan, whichever tool it is."
    echo
    echo "| work | program | fastest peer | program/peer | cat or cp -a floor | program/floor |"
    echo "|---|---|---|---|---|---|"
    printf '%s\n' "${summary[@]}"
    echo
    echo "Detection answers on the $detect_mib MiB KOI8-R text: program $answer_program, uchardet $answer_uchardet."
    echo
    echo "Peak RSS of the program: $(mib "$largest_rss") MiB on the largest file ($largest_title, $largest bytes);"
    per_file=n/a
    [ -n "$tree_rss" ] && [ -n "$alone_rss" ] && per_file=$(((tree_rss - alone_rss) * 1024 / tree_files))
    echo "$(mib "$tree_rss") MiB on the tree ($tree_files files, $tree_bytes bytes, made by $tree_maker),"
    echo "$per_file bytes per file above the program alone ($(mib "$alone_rss") MiB)."
    echo
    echo "## Every command"
    echo
    echo "Peak RSS is that of the largest process (\`/usr/bin/time -f %M\`, one separate run)."
    echo
    echo "| work | command | median s | MB/s or files/s | peak RSS MiB | note |"
    echo "|---|---|---|---|---|---|"
    cat "$details"
} >"$report"

cat "$report"
if [ "$write" -eq 1 ]; then
    {
        echo "# Performance"
        echo
        cat "$report"
    } >"$root/docs/performance.md"
    log "wrote $root/docs/performance.md"
fi
