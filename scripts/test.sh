#!/usr/bin/env bash
# Sets up, builds and runs every test: once in a normal build and once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWU_WERROR=ON -DWU_LINE_TABLES_ONLY=ON
ctest --test-dir build --output-on-failure -j "$jobs" -LE large
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DWU_SANITIZE=ON -DWU_BUILD_BENCH=OFF -DWU_WERROR=ON \
  -DWU_LINE_TABLES_ONLY=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE large
