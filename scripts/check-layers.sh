#!/usr/bin/env bash
# Fails when a folder includes a header of a folder it may not, naming the file
# and line; the folders and what each may include are the table in
# docs/layers.txt. Reads sources only, so it runs in a second, before the build.
#   scripts/check-layers.sh [--root DIR] [--table FILE]
set -euo pipefail -o noglob  # "*" in the table is a word, not a pattern

root=$(cd "$(dirname "$0")/.." && pwd)
table=""
while [ $# -gt 0 ]; do
    case "$1" in
        --root) root=$2; shift 2 ;;
        --table) table=$2; shift 2 ;;
        *) echo "check-layers: unknown argument $1" >&2; exit 2 ;;
    esac
done
table=${table:-$root/docs/layers.txt}
[ -r "$table" ] || { echo "check-layers: no table at $table" >&2; exit 2; }
table=$(cd "$(dirname "$table")" && pwd)/$(basename "$table")
cd "$root"
shown=${table#"$root"/}  # the table as named in messages

# "folder allowed..." per row, comments and blanks dropped.
rows=$(sed -e 's/#.*//' -e 's/:/ /' "$table" | awk 'NF { $1 = $1; print }')
folders=$(awk '{ print $1 }' <<<"$rows")

status=0
# A row naming a folder no row describes is a typo that would let anything by.
while read -r folder allowed; do
    for name in $allowed; do
        if [ "$name" != "*" ] && ! grep -qx -- "$name" <<<"$folders"; then
            echo "$shown: $folder may include \"$name\", which has no row" >&2
            status=1
        fi
    done
done <<<"$rows"
# A folder of sources the table does not name would go unchecked.
set +o noglob
for dir in */; do
    dir=${dir%/}
    case "$dir" in build* | .*) continue ;; esac
    grep -qx -- "$dir" <<<"$folders" && continue
    if [ -n "$(find "$dir" \( -name '*.cpp' -o -name '*.h' -o -name '*.cc' -o -name '*.hpp' \) -print -quit)" ]; then
        echo "$shown: folder $dir holds sources but has no row" >&2
        status=1
    fi
done
set -o noglob

existing=()
for folder in $folders; do [ -d "$folder" ] && existing+=("$folder"); done
[ ${#existing[@]} -gt 0 ] || { echo "check-layers: none of the table's folders is here" >&2; exit 2; }

# file:line:text of every quoted include, then one verdict per include.
report=$({ grep -rHnE --include='*.cpp' --include='*.h' --include='*.cc' --include='*.hpp' --include='*.inc' \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${existing[@]}" || true; } |
    awk -v rows="$rows" '
        BEGIN {
            n = split(rows, lines, "\n")
            for (i = 1; i <= n; i++) {
                k = split(lines[i], w, " ")
                known[w[1]] = 1
                for (j = 2; j <= k; j++) may[w[1], w[j]] = 1
            }
        }
        # The path of an include written relative to the including file.
        function normalise(path,    parts, out, n, m, i) {
            n = split(path, parts, "/"); m = 0
            for (i = 1; i <= n; i++) {
                if (parts[i] == "" || parts[i] == ".") continue
                if (parts[i] == "..") { if (m > 0) m--; continue }
                out[++m] = parts[i]
            }
            path = ""
            for (i = 1; i <= m; i++) path = path (i > 1 ? "/" : "") out[i]
            return path
        }
        {
            file = $0; sub(/:.*/, "", file)
            rest = substr($0, length(file) + 2)
            line = rest; sub(/:.*/, "", line)
            included = rest; sub(/^[^"]*"/, "", included); sub(/".*/, "", included)
            owner = file; sub(/\/.*/, "", owner)
            target = included
            if (included ~ /^\.\.?\//) {
                dir = file; sub(/\/[^\/]*$/, "", dir)
                target = normalise(dir "/" included)
            } else if (included !~ /\//) {
                next  # beside the including file, or a third-party header
            }
            sub(/\/.*/, "", target)
            ++checked
            if (!(target in known) || target == owner || may[owner, "*"] || may[owner, target]) next
            printf "%s:%s: %s may not include %s (\"%s\")\n", file, line, owner, target, included
            ++bad
        }
        END { printf "checked %d\n", checked; exit bad > 0 }
    ') || status=1

grep -v '^checked ' <<<"$report" >&2 || true
checked=$(sed -n 's/^checked //p' <<<"$report")
if [ "$status" -ne 0 ]; then
    echo "check-layers: FAILED (table $shown)" >&2
    exit 1
fi
echo "check-layers: ${checked} includes of project headers in ${existing[*]} checked: none against $shown"
