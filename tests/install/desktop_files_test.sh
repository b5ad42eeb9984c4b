#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo as installed, checked by the
# validators desktops and software centres use. Skipped (77) without them.
#   desktop_files_test.sh DESKTOP_FILE METAINFO_FILE
set -euo pipefail
desktop=$1
metainfo=$2
ran=0
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop"
    ran=1
fi
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net "$metainfo"
    ran=1
fi
if [ "$ran" -eq 0 ]; then
    echo "desktop-file-validate and appstreamcli are missing: skipped"
    exit 77
fi
# The entry opens what it is registered for.
grep -q '^MimeType=.*inode/directory;' "$desktop"
grep -q '^MimeType=.*text/plain;' "$desktop"
grep -q '^Exec=varnelpro .*%f' "$desktop"
