#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs each
# for a while on a copy of its seed corpus, one target per core at a time.
# Prints the executions and crashes per target and fails when any target
# crashed, hung, leaked or ran out of memory; the inputs that did are kept in
# build-fuzz/artifacts/<target>/.
#   ./scripts/fuzz.sh [seconds-per-target]      (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
case "$seconds" in
    '' | *[!0-9]*) echo "fuzz.sh: seconds must be a number, not '$seconds'" >&2; exit 2 ;;
esac

./scripts/install-deps.sh

build=build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVARNEL_BUILD_FUZZ=ON -DVARNEL_BUILD_GUI=OFF -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_BENCH=OFF
cmake --build "$build" -j "$jobs" --target varnel_fuzz

if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
    export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"

# The corpus copies and the files the targets write live in RAM when they can.
scratch_base=/dev/shm
[ -w "$scratch_base" ] || scratch_base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_base/varnel-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# One target per core at a time; each keeps its own log and exit status.
fuzz_one() {
    local target=$1 corpus=$2
    local binary="$build/fuzz/$target" artifacts="$build/artifacts/$target"
    rm -rf "$artifacts" && mkdir -p "$artifacts" "$scratch/$target"
    cp -r "$corpus" "$scratch/$target/corpus"
    local args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
                -artifact_prefix="$artifacts/")
    [ -f "fuzz/dict/$target.dict" ] && args+=(-dict="fuzz/dict/$target.dict")
    local status=0
    VARNEL_FUZZ_TMP="$scratch/$target" "$binary" "${args[@]}" "$scratch/$target/corpus" \
        >"$artifacts/log.txt" 2>&1 || status=$?
    echo "$status" >"$artifacts/status"
}
targets=()
for corpus in fuzz/corpus/*/; do
    target=$(basename "$corpus")
    targets+=("$target")
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    fuzz_one "$target" "$corpus" &
done
wait

failed=()
printf '%-24s %12s %8s\n' target executions crashes
for target in "${targets[@]}"; do
    artifacts="$build/artifacts/$target"
    log="$artifacts/log.txt"
    status=$(cat "$artifacts/status" 2>/dev/null || echo 1)
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    crashes=$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'timeout-*' -o -name 'leak-*' \
        -o -name 'oom-*' \) | wc -l)
    if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then
        crashes=1  # died without leaving an input (a crash in start-up)
    fi
    printf '%-24s %12s %8s\n' "$target" "${executions:-?}" "$crashes"
    if [ "$crashes" -ne 0 ]; then
        failed+=("$target")
        tail -n 40 "$log" >&2
        echo "fuzz.sh: $target failed; inputs and log in $artifacts" >&2
    fi
done

if [ "${#failed[@]}" -gt 0 ]; then
    echo "fuzz.sh: failed: ${failed[*]}" >&2
    exit 1
fi
