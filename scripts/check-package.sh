#!/usr/bin/env bash
# Builds the Debian package, installs it with apt into a clean Debian 12 root
# made from the archive this machine uses, converts samples/ there headless,
# and runs lintian on the package. Prints "skipped" and exits 0 when the
# tools, root rights or the archive are out of reach.
#
#   scripts/check-package.sh              the Release tree ./build-release (made when missing)
#   BUILD_DIR=build scripts/check-package.sh   the tree ./test.sh built
#   KEEP_ROOT=1 scripts/check-package.sh  leaves the root folder for a look
#   MIRROR=http://host/debian scripts/check-package.sh   another archive
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build-release}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
suite=bookworm

skip() {
    echo "check-package: skipped: $*"
    exit 0
}
have() { command -v "$1" >/dev/null 2>&1; }

# The tools: installed when missing and this is root on Debian.
need=()
have mmdebstrap || need+=(mmdebstrap)
have lintian || need+=(lintian)
have cpack || skip "cpack (cmake) is missing"
if [ "${#need[@]}" -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ] && have apt-get; then
        echo "check-package: installing ${need[*]}"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null ||
            skip "could not install ${need[*]}"
    else
        skip "${need[*]} missing and not root to install them"
    fi
fi
if [ "$(id -u)" -ne 0 ] && ! unshare --user --map-root-user true 2>/dev/null; then
    skip "needs root or unprivileged user namespaces to build a root"
fi

# The archive this machine reaches: the first Debian URI of its apt sources.
mirror=$(sed -nE 's/^URIs:[[:space:]]*([^[:space:]]+).*/\1/p; s/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+bookworm[[:space:]].*/\2/p' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
    grep -v -e security -e deb-src | head -n1 || true)
mirror=${MIRROR:-${mirror:-http://deb.debian.org/debian}}
host=$(sed -E 's|^[a-z]+://([^/:]+).*|\1|' <<<"$mirror")
case "$mirror" in
    https://*) port=443 ;;
    *) port=80 ;;
esac
timeout 10 bash -c "exec 3<>/dev/tcp/$host/$port" 2>/dev/null || skip "the archive $mirror is out of reach"

# The package, from a Release tree.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
(cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1 || { cat "$build/cpack.log"; exit 1; }
deb=$(ls -t "$build"/varnelpro_*.deb | head -n1)
echo "check-package: built $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Depends Section
echo

work=$(mktemp -d "${TMPDIR:-/tmp}/varnel-package.XXXXXX")
cleanup() {
    if [ -n "${KEEP_ROOT:-}" ]; then echo "root left in $work/root"; else rm -rf "$work"; fi
}
trap cleanup EXIT
mkdir "$work/payload"
cp "$deb" "$work/payload/varnelpro.deb"
cp -r "$root/samples" "$work/payload/samples"

# Inside the root: apt resolves the package's dependencies from the archive,
# then the installed program converts the samples and speaks German on demand.
cat >"$work/payload/inside.sh" <<'INSIDE'
set -eu
apt-get install -y -qq --no-install-recommends /tmp/check/varnelpro.deb >/tmp/check/apt.log 2>&1 ||
    { cat /tmp/check/apt.log; exit 1; }
echo "installed: $(dpkg-query -W -f='${Package} ${Version}' varnelpro)"
status=0
varnelpro -in=/tmp/check/samples -out=/tmp/check/out -r || status=$?
[ "$status" -le 1 ] || { echo "varnelpro exited $status"; exit 1; }
want=$(cd /tmp/check/samples && find . -type f -size +0 ! -name '*.png' | sort)
got=$(cd /tmp/check/out && find . -type f | sort)
[ "$want" = "$got" ] || { echo "outputs differ from the samples' text files"; exit 1; }
help=$(varnelpro -locale=de_DE -help)
case "$help" in Aufruf:*) ;; *) echo "the German bundle was not used"; exit 1 ;; esac
echo "inside the root: $(echo "$got" | wc -l) files converted, German help shown"
INSIDE

echo "check-package: building a clean $suite root from $mirror and installing the package there"
start=$(date +%s)
status=0
mmdebstrap --variant=apt --quiet \
    --customize-hook='mkdir -p "$1/tmp/check"' \
    --customize-hook="sync-in $work/payload /tmp/check" \
    --customize-hook='chroot "$1" sh /tmp/check/inside.sh' \
    "$suite" "$work/root" "$mirror" || status=$?
echo "check-package: clean root, install and run took $(($(date +%s) - start)) s"
[ "$status" -eq 0 ] || { echo "check-package: FAILED in the clean root"; exit 1; }

echo
echo "check-package: lintian findings:"
# Overridden findings are shown too (O:), with the reasons in the package's
# overrides file; errors and warnings fail the check.
findings=$(lintian --display-info --show-overrides "$deb" 2>&1 | grep -v 'running with root privileges' || true)
echo "${findings:-(none)}"
if grep -qE '^[EW]: ' <<<"$findings"; then
    echo "check-package: lintian reports errors or warnings"
    exit 1
fi
echo "check-package: OK"
