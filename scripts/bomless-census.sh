#!/usr/bin/env bash
# How many of this machine's binaries detection takes for BOM-less UTF-16 or
# UTF-32 text: programs and libraries (/usr/bin, /usr/lib), fonts, icons and
# pixmaps, images and archives anywhere under /usr/share, packages in the apt
# cache and message catalogues (.mo). No binary may be taken: each file taken
# is listed, to be looked at (the test data of other programs holds real
# BOM-less UTF-16 and UTF-32 text). What cannot be read is skipped and counted.
#
#   scripts/bomless-census.sh                  uses build/tools/bomless_census
#   BUILD_DIR=build-rel scripts/bomless-census.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
census="$build/tools/bomless_census"
[ -x "$census" ] || { echo "build the bomless_census target first: $census" >&2; exit 2; }

count() {
    local name=$1
    shift
    echo "== $name"
    find "$@" -print0 2>/dev/null | "$census"
}

count "programs (/usr/bin)" /usr/bin -type f
count "libraries (/usr/lib)" /usr/lib -type f
count "fonts, icons, pixmaps" /usr/share/fonts /usr/share/icons /usr/share/pixmaps -type f
count "images under /usr/share" /usr/share -type f \( -iname '*.png' -o -iname '*.jpg' -o -iname '*.jpeg' \
    -o -iname '*.gif' -o -iname '*.bmp' -o -iname '*.ico' -o -iname '*.tif' -o -iname '*.tiff' -o -iname '*.webp' \)
count "archives under /usr/share" /usr/share -type f \( -name '*.gz' -o -name '*.xz' -o -name '*.zip' \
    -o -name '*.bz2' \)
count "packages (/var/cache/apt/archives)" /var/cache/apt/archives -type f -name '*.deb'
count "message catalogues (.mo)" /usr/share/locale /usr/lib -type f -name '*.mo'
