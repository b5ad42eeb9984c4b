#!/usr/bin/env bash
# Figures a reviewer asks for first: product lines per folder, the largest
# files and functions, processor checks and files with intrinsics, and the
# mutexes the session's headers declare. Run it before and after a change.
#   ./scripts/code-census.sh [commit]     (default: the working tree)
set -eu  # no pipefail: head ends the pipes early
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    git archive "$1" | tar -x -C "$scratch"
    cd "$scratch"
fi
product=(base platform codecs textrion varnex utils controls app)
existing=()
for d in "${product[@]}"; do [ -d "$d" ] && existing+=("$d"); done
sources() { find "${existing[@]}" \( -name '*.cpp' -o -name '*.h' \) -print0; }

echo "== product lines per folder"
for d in "${existing[@]}"; do
    printf '%-10s %6d\n' "$d" "$(find "$d" \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l)"
done
printf '%-10s %6d\n' all "$(sources | xargs -0 cat | wc -l)"

echo "== largest files"
sources | xargs -0 wc -l | grep -v ' total$' | sort -rn | head -5

echo "== largest functions (lines, name, file)"
sources | xargs -0 ctags --c++-kinds=f --fields=+ne -o - 2>/dev/null |
    awk -F'\t' '{ line = 0; end = 0
                  for (i = 4; i <= NF; i++) { if ($i ~ /^line:/) line = substr($i, 6); if ($i ~ /^end:/) end = substr($i, 5) }
                  if (end > 0) printf "%d %s %s:%d\n", end - line + 1, $1, $2, line }' |
    sort -rn | head -5

echo "== processor checks and intrinsics"
echo "__builtin_cpu_supports calls: $(sources | xargs -0 grep -o '__builtin_cpu_supports' | wc -l)"
echo "files with intrinsics: $(sources | xargs -0 grep -l '_mm_\|_mm256_' | wc -l)"
sources | xargs -0 grep -l '_mm_\|_mm256_' | sed 's/^/  /'

echo "== locks declared in the session's headers (mutexes, critical sections, lockable containers and bases)"
find varnex/session -name '*.h' -print0 |
    xargs -0 grep -cP '^\s*(mutable\s+)?(std::(recursive_|shared_|timed_)?mutex|CCriticalSection|CLockable\w*)\b[^(]*;|public CLockable\b' |
    awk -F: '$2 > 0 { print "  " $0; n += $2 } END { print "total: " n + 0 }'
