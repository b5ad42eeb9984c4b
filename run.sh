#!/usr/bin/env bash
# Installs what is missing, builds the program and converts the bundled
# samples/ folder into out/ with a CSV report, printing a line per file and a
# summary.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target varnelpro
rm -rf out
status=0
./build/app/varnelpro -in=samples -out=out -r -export=out/varnel-report.csv || status=$?
echo "Output in $(pwd)/out"
# 1 means some files ended with a warning: the run itself worked.
[ "$status" -le 1 ] || exit "$status"
