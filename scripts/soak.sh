#!/usr/bin/env bash
# Session soak under ThreadSanitizer: builds the engine in build-soak and runs
# random sessions over a large mixed tree for the given minutes (default 3).
#   scripts/soak.sh [MINUTES] [--seed N] [--files N] [--dir FOLDER]
# Any race report, deadlock or broken invariant fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=3
if [ $# -gt 0 ] && [[ "$1" != --* ]]; then
    minutes="$1"
    shift
fi

./scripts/install-deps.sh
cmake -S . -B build-soak -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNEL_BUILD_TESTS=ON -DVARNEL_BUILD_BENCH=OFF -DVARNEL_BUILD_GUI=OFF \
    -DVARNEL_SANITIZE=thread >/dev/null
cmake --build build-soak -j 2 --target varnex_soak

log=$(mktemp)
trap 'rm -f "$log"' EXIT
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:exitcode=66:${TSAN_OPTIONS:-}"
set +e
build-soak/tests/soak/varnex_soak --minutes "$minutes" "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
    if grep -q "WARNING: ThreadSanitizer" "$log"; then
        echo "soak: FAILED: ThreadSanitizer reported a race (report above)" >&2
    elif grep -q "^DEADLOCK:" "$log"; then
        echo "soak: FAILED: an operation deadlocked (see DEADLOCK above)" >&2
    elif grep -q "^INVARIANT FAILED:" "$log"; then
        echo "soak: FAILED: invariants broke (see INVARIANT FAILED above)" >&2
    else
        echo "soak: FAILED with exit status $status" >&2
    fi
    exit 1
fi
echo "soak: passed"
