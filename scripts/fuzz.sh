#!/usr/bin/env bash
# fuzz.sh [-t SECONDS] [-j JOBS] [-b BUILD] [TARGET...]
#
# Builds the fuzz targets with clang, libFuzzer and the address and
# undefined-behaviour sanitizers in BUILD (default build-fuzz in the repository), then
# runs each TARGET (default: all) for SECONDS (default 600), at most JOBS
# (default 6) at once, one core each. Each target starts from its seed and
# regression corpora and its dictionary, and keeps fuzzing after a finding.
# At the end it prints executions, coverage and findings per target; the
# input of every finding (a crash, a leak, a time-out, or an out-of-memory:
# more than libFuzzer's default 2 GB of RSS, or a single allocation above
# 512 MB, which no reader needs for an input of at most 64 KiB) is copied into
# tests/fuzz/regression/<target>/, whose files the normal test run replays.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
seconds=600
jobs=6
build=build-fuzz
while getopts "t:j:b:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    b) build=$OPTARG ;;
    *) echo "usage: $0 [-t SECONDS] [-j JOBS] [-b BUILD] [TARGET...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
# The runs work inside per-target folders: the build folder must not be relative.
build=$(realpath -m "$build")
all="archive commandline settings png langmodule cursor registry profile rifffile riffmemory"
all+=" fileidbuffer mp4file metablocks"
all+=" wavfile bwfmeta"
all+=" metalists metastreams"
all+=" projectlink shortcut templates commessage filepropmeta"
targets=${*:-$all}

# Tools run during the build are instrumented too; their leaks are not ours
# to report here.
export ASAN_OPTIONS=detect_leaks=0
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWU_FUZZ=ON -DWU_BUILD_BENCH=OFF
fi
cmake --build "$build" -j "$jobs" --target $(for t in $targets; do echo "fuzz_$t"; done)
unset ASAN_OPTIONS
# The targets write many small files; a memory-backed folder keeps them fast.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ]; then export TMPDIR=/dev/shm; fi

# Largest input per target: archives and language modules need room for
# several records; the text readers stay small so that they run fast.
max_len() {
  case $1 in
    archive | langmodule | png) echo 65536 ;;
    fileidbuffer | mp4file) echo 70000 ;;
    *) echo 8192 ;;
  esac
}

run_one() {
  local t=$1 work=$build/fuzz-work/$1
  rm -rf "$work/findings"
  mkdir -p "$work/corpus" "$work/findings"
  (cd "$work" &&
    "$build/tests/fuzz/fuzz_$t" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
      -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len="$(max_len "$t")" \
      -dict="$src/tests/fuzz/$t.dict" -artifact_prefix="$work/findings/" \
      "$work/corpus" "$src/tests/fuzz/corpus/$t" "$src/tests/fuzz/regression/$t" \
      >"$work/log.txt" 2>&1) || true
}

echo "fuzzing for ${seconds}s: $targets"
running=0
for t in $targets; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
wait || true

status=0
printf '%-12s %12s %8s %8s %s\n' target executions cov corpus findings
for t in $targets; do
  work=$build/fuzz-work/$t
  # The engine's last status line: "#<runs>: cov: <n> ft: <n> corp: <n> ...".
  line=$(grep -E '^#[0-9]+' "$work/log.txt" | tail -1 || true)
  runs=$(sed -E 's/^#([0-9]+).*/\1/' <<<"$line")
  cov=$(sed -nE 's/.*cov: ([0-9]+).*/\1/p' <<<"$line")
  corp=$(sed -nE 's/.*corp: ([0-9]+).*/\1/p' <<<"$line")
  found=()
  for f in "$work"/findings/*; do
    [ -f "$f" ] || continue
    name=$(basename "$f")
    mkdir -p "$src/tests/fuzz/regression/$t"
    cp "$f" "$src/tests/fuzz/regression/$t/$name"
    found+=("$name")
  done
  printf '%-12s %12s %8s %8s %s\n' "$t" "${runs:-?}" "${cov:-?}" "${corp:-?}" "${found[*]:-none}"
  [ ${#found[@]} -eq 0 ] || status=1
done
echo "logs: $build/fuzz-work/<target>/log.txt"
exit $status
