#!/usr/bin/env bash
# Converts a 4,000-file tree again and again for SECONDS (default 60) with 2
# and with 8 converter threads while a loop renames output folders away and
# puts links to a victim folder in their place, and checks that no byte
# landed in the victim. Prints the runs and the swaps made.
#   scripts/swap-race.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build}
VARNEL_SWAP_SECONDS=$seconds "$build/tests/app/app_tests" --gtest_filter='Threads/SwapRace.*' --gtest_brief=1
