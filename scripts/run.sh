#!/usr/bin/env bash
# The main job: sets up, builds, makes a demo package from the example
# payload in examples/demo/ and runs it. On a terminal the package's wizard
# runs in the terminal front end; without one it runs non-interactively.
# Arguments are passed to the package (try -l deu, -quiet -notemp, -?).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only what the main job needs: the package stub and the archive tool (and
# what they are made from). scripts/test.sh builds everything.
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build -j "$(nproc)" --target wusfx wuarc >/dev/null

out=build/demo
rm -rf "$out"
mkdir -p "$out"
wuarc=build/tools/wuarc/wuarc
# The control archive holds the package settings (sfxinst.ini).
"$wuarc" create "$out/sfxctrl.ach" -C examples/demo/control sfxinst.ini >/dev/null
# The package: the stub program, then the payload and the control archive
# (entries are named by the paths as given, so each is given from its folder).
"$wuarc" package "$out/demo-setup.run" --stub build/Sfx/wusfx \
  -C examples/demo/payload '*.*' -C "$out" sfxctrl.ach >/dev/null
echo "run.sh: made $out/demo-setup.run; running it"

# Unpacking needs the machine settings store to be writable ("administrator"):
# root has it; anyone else gets a private state root in the build folder.
if [ "$(id -u)" -ne 0 ] && [ -z "${WU_STATE_ROOT:-}" ]; then
  export WU_STATE_ROOT="$PWD/$out/state"
  mkdir -p "$WU_STATE_ROOT"
fi
status=0
"$out/demo-setup.run" "$@" || status=$?
echo "run.sh: the package ended with status $status"
exit "$status"
