#!/usr/bin/env bash
# Installs what the build, the tests, the benchmarks and the fuzz run (clang,
# libFuzzer's runtime, llvm-symbolizer) need on Debian 12, and
# fetches uchardet's Debian source. Idempotent: only what is missing is installed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps_dir="$root/.deps"
uchardet_version=0.0.7

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
else
    echo "install-deps: needs root or sudo to install packages" >&2
    exit 1
fi

packages=(
    cmake ninja-build g++ pkg-config xz-utils
    libicu-dev icu-devtools libpugixml-dev libre2-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
    uchardet libc-bin time groff-base
    desktop-file-utils appstream
    clang libclang-rt-14-dev llvm-14
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done

updated=0
apt_update() {
    if [ "$updated" -eq 0 ]; then
        "${sudo[@]}" apt-get update -qq
        updated=1
    fi
}

if [ "${#missing[@]}" -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    apt_update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# uchardet is compiled from its Debian source inside the build tree.
src_dir="$deps_dir/uchardet-$uchardet_version"
if [ ! -f "$src_dir/src/nsUniversalDetector.cpp" ]; then
    # apt-get source needs a deb-src entry; mirror the existing deb entries once.
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        echo "install-deps: adding deb-src entries for the configured archives"
        tmp=$(mktemp)
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            sed -E 's/^Types:.*$/Types: deb-src/' "$f" >>"$tmp"
            echo >>"$tmp"
        done
        if [ -s "$tmp" ]; then
            "${sudo[@]}" install -m 0644 "$tmp" /etc/apt/sources.list.d/varnel-deb-src.sources
        fi
        : >"$tmp"
        if [ -f /etc/apt/sources.list ]; then
            sed -nE 's/^deb(\s)/deb-src\1/p' /etc/apt/sources.list >"$tmp"
            if [ -s "$tmp" ]; then
                "${sudo[@]}" install -m 0644 "$tmp" /etc/apt/sources.list.d/varnel-deb-src.list
            fi
        fi
        rm -f "$tmp"
        updated=0
    fi
    apt_update
    mkdir -p "$deps_dir/download"
    (cd "$deps_dir/download" && apt-get source --download-only -qq "uchardet=$uchardet_version-1" \
        || apt-get source --download-only -qq uchardet)
    tarball=$(ls "$deps_dir/download"/uchardet_"$uchardet_version".orig.tar.* 2>/dev/null | head -n1)
    if [ -z "$tarball" ]; then
        echo "install-deps: uchardet $uchardet_version source not found" >&2
        exit 1
    fi
    rm -rf "$src_dir.tmp" && mkdir -p "$src_dir.tmp"
    tar -xf "$tarball" -C "$src_dir.tmp" --strip-components=1
    rm -rf "$src_dir" && mv "$src_dir.tmp" "$src_dir"
    echo "install-deps: uchardet $uchardet_version source in $src_dir"
fi
