#!/usr/bin/env bash
# The layering check on small trees made here: it passes a tree that keeps to
# its table and fails, naming file and line, on each kind of breach.
#   check_layers_test.sh <path of scripts/check-layers.sh>
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A tree of the project's shape: each file includes what its folder may.
make_tree() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree"/{base,platform,codecs,textrion,tests,docs}
    cd "$work/tree" || exit 1
    cat >docs/layers.txt <<'TABLE'
# a comment
base:
platform: base
codecs: base platform
textrion: base platform codecs   # trailing comment
tests: *
TABLE
    printf '#include "base/b.h"\n' >platform/p.h
    printf '#include <vector>\n#include "platform/p.h"\n#include "base/b.h"\n' >codecs/c.cpp
    printf '#include "codecs/c.h"\n#include "t.h"\n#include "nscore.h"\n' >textrion/t.cpp
    printf '#include "textrion/t.h"\n#include "../base/b.h"\n' >tests/t_test.cpp
    : >base/b.h
}

# name, what to change in the fresh tree, expected status, texts the output holds.
expect() {
    local name=$1 change=$2 status=$3 out rc text missing=0
    shift 3
    make_tree
    eval "$change"
    out=$("$check" --root "$work/tree" 2>&1)
    rc=$?
    for text; do grep -qF -- "$text" <<<"$out" || missing=1; done
    if [ "$rc" -ne "$status" ] || [ "$missing" -ne 0 ]; then
        echo "FAIL $name: status $rc (want $status), output:"
        printf '    %s\n' "$out"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

expect "a tree that keeps to its table passes" ":" 0 "none against"
expect "a lower folder including a higher one fails at its line" \
    "printf '#include \"base/b.h\"\n#include \"textrion/t.h\"\n' >platform/p.h" 1 \
    'platform/p.h:2: platform may not include textrion ("textrion/t.h")'
expect "a folder that may include nothing fails on any other" \
    "printf '  #  include \"platform/p.h\"\n' >base/b.h" 1 "base/b.h:1: base may not include platform"
expect "a relative path is checked where it leads" \
    "printf '#include \"../textrion/t.h\"\n' >codecs/c.h" 1 'codecs/c.h:1: codecs may not include textrion ("../textrion/t.h")'
expect "every breach is named, not only the first" \
    "printf '#include \"codecs/c.h\"\n' >platform/q.cpp; printf '#include \"tests/x.h\"\n' >base/b.cpp" 1 \
    "base/b.cpp:1: base may not include tests" "platform/q.cpp:1: platform may not include codecs"
expect "a folder of sources with no row fails" "mkdir extra; : >extra/e.cpp" 1 "folder extra holds sources but has no row"
expect "a row allowing a folder with no row fails" "echo 'base: plaform' >>docs/layers.txt" 1 '"plaform", which has no row'
expect "build folders and folders without sources are left alone" \
    "mkdir -p build/x samples; printf '#include \"textrion/t.h\"\n' >build/x/moc.cpp; : >samples/a.txt" 0 "none against"

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
