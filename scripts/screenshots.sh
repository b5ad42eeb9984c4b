#!/usr/bin/env bash
# Saves the documentation's pictures of the window (docs/screenshots/) from a
# built tree: ./scripts/screenshots.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
mkdir -p docs/screenshots
VARNEL_SCREENSHOT_DIR="$PWD/docs/screenshots" QT_QPA_PLATFORM=offscreen \
    "$build/tests/window/window_tests" --gtest_filter='Languages/Screenshots.*'
ls -l docs/screenshots
