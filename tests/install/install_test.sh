#!/usr/bin/env bash
# Installs the build into a scratch prefix, moves the prefix elsewhere, and
# runs the installed program there on samples/: it must find its libraries,
# extension lists and language bundle inside the prefix, never in the build
# or source tree.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/varnel-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$work/staged" >"$work/install.log" || { cat "$work/install.log"; exit 1; }
# A moved prefix proves nothing points back to where it was installed.
mv "$work/staged" "$work/prefix"
prefix=$work/prefix
exe=$prefix/bin/varnelpro
data=$prefix/share/varnelpro

for f in "$exe" "$data/Binary.bin" "$data/Text.bin" "$data/Locales/de_DE/locale.xml" \
    "$data/help/index.html" "$prefix/share/doc/varnelpro/copyright" \
    "$prefix/share/doc/varnelpro/changelog.Debian.gz" \
    "$prefix/share/icons/hicolor/scalable/apps/varnelpro.svg"; do
    [ -f "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
ls "$data"/Locales/de_DE/*.qm >/dev/null 2>&1 || fail "no compiled translation in Locales/de_DE"
ls "$prefix"/share/applications/*.desktop >/dev/null 2>&1 || fail "no desktop entry"
ls "$prefix"/share/metainfo/*.metainfo.xml >/dev/null 2>&1 || fail "no metainfo"
[ -z "$(find "$prefix" -name '*.so' -type l)" ] || fail "development links installed"

# Every library of the project resolves inside the prefix.
runpath=$(readelf -d "$exe" | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')
case "$runpath" in *"$build"* | *"$source"*) fail "RUNPATH points into the build: $runpath" ;; esac
for lib in textrion varnex utils; do
    where=$(ldd "$exe" | sed -n "s/.*lib$lib\.so[^ ]* => \([^ ]*\).*/\1/p")
    case "$where" in "$prefix"/*) ;; *) fail "lib$lib resolves to '$where', not inside the prefix" ;; esac
done

# The headless run a user makes, from another folder.
cd "$work"
status=0
"$exe" -in="$source/samples" -out="$work/out" -r -q -exporttype=JSON -export="$work/report.json" \
    >"$work/run.log" 2>&1 || status=$?
[ "$status" -le 1 ] || { cat "$work/run.log"; fail "conversion exit status $status"; }
expected=$(cd "$source/samples" && find . -type f -size +0 ! -name '*.png' | sort)
converted=$(cd "$work/out" 2>/dev/null && find . -type f | sort || true)
[ "$expected" = "$converted" ] || fail "outputs differ from the samples' text files: $converted"
while IFS= read -r f; do
    iconv -f UTF-8 -t UTF-8 "$work/out/$f" >/dev/null 2>&1 || fail "output not UTF-8: $f"
done <<<"$converted"
# The extension lists come from the prefix, and are used: the image is
# binary by its extension.
grep -q "\"binary_list_file\":\"$data/Binary.bin\"" "$work/report.json" ||
    fail "Binary.bin not read from the prefix: $(grep -o '"binary_list_file":"[^"]*"' "$work/report.json")"
grep 'logo.png' "$work/report.json" | grep -q '"detected_by":"extension"' ||
    fail "logo.png not found binary by its extension"

# The German bundle of the prefix.
help=$("$exe" -locale=de_DE -help 2>&1 || true)
case "$help" in Aufruf:*) ;; *) fail "-locale=de_DE -help is not German: ${help%%$'\n'*}" ;; esac

# The window comes from the prefix's module, loaded only when it opens: a
# window still open when the time is up was loaded. Without the module the
# program says so and ends.
if [ -f "$build/app/libvarnelpro_window.so" ]; then
    module=$(find "$prefix" -name libvarnelpro_window.so)
    [ -n "$module" ] || fail "window module not installed"
    if ldd "$exe" | grep -q Widgets; then fail "the program loads Qt Widgets before a window opens"; fi
    window() { HOME="$work/home" XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=offscreen timeout 4 "$exe" >"$work/window.log" 2>&1; }
    mkdir -p "$work/home"
    status=0 && window || status=$?
    [ "$status" -eq 124 ] || { cat "$work/window.log"; fail "window did not stay open (exit status $status)"; }
    mv "$module" "$work/module.so"
    status=0 && window || status=$?
    [ "$status" -eq 2 ] && grep -q "window cannot be loaded" "$work/window.log" ||
        { cat "$work/window.log"; fail "a missing window module gave exit status $status"; }
fi

[ "$failures" -eq 0 ] || exit 1
echo "installed program ran from $prefix"
