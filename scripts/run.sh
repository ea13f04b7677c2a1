#!/usr/bin/env bash
# The main job: sets up, builds everything and runs the demonstration
# program of what is built so far.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
build/tools/wudemo/wudemo "$@"
