#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite with CTest.
#   ./test.sh                         Release build with tests
#   ./test.sh --sanitize address,undefined   everything and its tests under ASan+UBSan
#   ./test.sh --sanitize thread               the engine and its tests under TSan
set -euo pipefail
cd "$(dirname "$0")"

sanitize=""
while [ $# -gt 0 ]; do
    case "$1" in
        --sanitize) sanitize="$2"; shift 2 ;;
        --sanitize=*) sanitize="${1#*=}"; shift ;;
        *) echo "test.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

# Includes against the layers fail at once, before a long build.
./scripts/check-layers.sh
./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
if [ -z "$sanitize" ]; then
    build=build
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVARNEL_BUILD_TESTS=ON -DVARNEL_BUILD_BENCH=ON -DVARNEL_SANITIZE=
else
    build="build-san-${sanitize//,/-}"
    # The window's tests run under ASan+UBSan too. The thread sanitizer cannot
    # see the locks inside Qt (not built with it) and reports its event queue,
    # so its build covers the engine and its tests.
    gui=ON
    case "$sanitize" in *thread*) gui=OFF ;; esac
    # -O1 with line tables: what the sanitizers' reports need, built in less
    # than half the time of -O2 -g.
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
        -DVARNEL_BUILD_TESTS=ON -DVARNEL_BUILD_BENCH=OFF -DVARNEL_BUILD_GUI="$gui" \
        -DVARNEL_SANITIZE="$sanitize"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
fi
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
