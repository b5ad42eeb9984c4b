#!/usr/bin/env bash
# Runs two builds of varnelpro on the same trees with several sets of switches
# and compares what they wrote: every output file byte for byte, and every
# report and console log line for line (sorted, as threads finish in any
# order; timings and the output roots aside). For changes that must not
# change behaviour.
#
#   scripts/compare-builds.sh OLD_VARNELPRO NEW_VARNELPRO MAKE_MIXED_TREE [FILES]
#
# The mixed tree (FILES files, default 20,000) and the bundled samples/ are
# converted into /dev/shm; everything made there is removed at exit. Exit 0
# when nothing differs, 1 otherwise.
set -euo pipefail

old=$(realpath "$1"); new=$(realpath "$2"); maker=$(realpath "$3"); files=${4:-20000}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /dev/shm/compare-builds.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$maker" "$work/tree" "$files" >/dev/null

switch_sets=(
    "-c"
    "-enc=UTF16LE -bom=no -rt=CRLF"
    "-enc=UTF32BE -rt=LF -c"
    "-enc=3412 -rt=CR"
    "-enc=UTF16BE -rt=LF -h -exportenc=UTF16LE"
    "-cp=1252 -enc=UTF8 -bom=no"
    "-enc=2143 -wf=*.txt;*.csv -exportenc=UTF32BE -exportbom=no"
)

run_all() {  # binary, folder
    local bin=$1 out=$2 i=0 set src name
    mkdir -p "$out"
    for set in "${switch_sets[@]}"; do
        i=$((i + 1))
        for src in "$root/samples" "$work/tree"; do
            name=$i-$(basename "$src")
            # shellcheck disable=SC2086 # the set is split into switches on purpose
            (cd "$out" && "$bin" -in="$src" -out="$name" -r $set -export="$name.csv" >"$name.log" 2>&1 && rc=0 || rc=$?; echo "exit $rc" >>"$name.log")
            # shellcheck disable=SC2086
            (cd "$out" && "$bin" -in="$src" -out="$name-d" -r -d $set -export="$name.xml" -exporttype=XML >/dev/null 2>&1 || true)
        done
    done
}

run_all "$old" "$work/old"
run_all "$new" "$work/new"

status=0
diff -r -q -x '*.csv' -x '*.log' -x '*.xml' "$work/old" "$work/new" || status=1
python3 - "$work/old" "$work/new" <<'PY' || status=1
import glob, os, re, sys
old_root, new_root = sys.argv[1], sys.argv[2]
marks = ((b'\xff\xfe\x00\x00', 'utf-32-le'), (b'\x00\x00\xfe\xff', 'utf-32-be'), (b'\xef\xbb\xbf', 'utf-8'),
         (b'\xff\xfe', 'utf-16-le'), (b'\xfe\xff', 'utf-16-be'))
def lines(path, root):
    data, encoding = open(path, 'rb').read(), 'utf-8'
    for mark, name in marks:
        if data.startswith(mark):
            data, encoding = data[len(mark):], name
            break
    else:
        if b'\x00\x00\x00' in data[:16]:
            encoding = 'utf-32-be'  # a report written without a mark
    text = data.decode(encoding, 'surrogateescape' if encoding == 'utf-8' else 'surrogatepass')
    kept = []
    for line in re.split(r'\r\n|\n|\r', text.replace(root, 'ROOT')):
        line = re.sub(r'^\[\d+/\d+\] ', '', line)
        if not re.search(r'Time  |time=', line):
            kept.append(line)
    return sorted(kept)
differing = 0
for path in sorted(glob.glob(os.path.join(old_root, '*.*'))):
    other = path.replace(old_root, new_root)
    if not os.path.exists(other) or lines(path, old_root) != lines(other, new_root):
        print('report or log differs:', os.path.basename(path))
        differing += 1
sys.exit(1 if differing else 0)
PY
echo "outputs compared: $(find "$work/new" -type f | wc -l) files; $( [ $status = 0 ] && echo 'no differences' || echo 'DIFFERENCES')"
exit $status
