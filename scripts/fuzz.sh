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
# A target that ran no executions, or whose engine ended in failure, or
# whose engine counted a finding that left no input behind, gets a row that
# says so. The script ends non-zero when any row has a finding or a failure.
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
all+=" dibcopy mediawriters"
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
  rm -rf "$work/findings" "$work/exit.txt" "$work/log.txt"
  # The engine stops at once on a corpus folder that does not exist: the
  # regression folder of a target without findings yet is made here, and a
  # missing seed folder or dictionary is left out.
  mkdir -p "$work/corpus" "$work/findings" "$src/tests/fuzz/regression/$t"
  local args=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=512
    -max_len="$(max_len "$t")" -artifact_prefix="$work/findings/")
  [ -s "$src/tests/fuzz/$t.dict" ] && args+=(-dict="$src/tests/fuzz/$t.dict")
  args+=("$work/corpus" "$src/tests/fuzz/regression/$t")
  [ -d "$src/tests/fuzz/corpus/$t" ] && args+=("$src/tests/fuzz/corpus/$t")
  local rc=0
  (cd "$work" && "$build/tests/fuzz/fuzz_$t" "${args[@]}" >"$work/log.txt" 2>&1) || rc=$?
  echo "$rc" >"$work/exit.txt"
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
  rc=$(cat "$work/exit.txt" 2>/dev/null || echo '?')
  # The engine's last status line in fork mode: "#<runs>: cov: <n> ft: <n>
  # corp: <n> exec/s <n> oom/timeout/crash: <n>/<n>/<n> time: ...".
  line=$(grep -E '^#[0-9]+' "$work/log.txt" 2>/dev/null | tail -1 || true)
  runs=$(sed -nE 's/^#([0-9]+).*/\1/p' <<<"$line")
  cov=$(sed -nE 's/.*cov: ([0-9]+).*/\1/p' <<<"$line")
  corp=$(sed -nE 's/.*corp: ([0-9]+).*/\1/p' <<<"$line")
  counted=$(sed -nE 's#.*oom/timeout/crash: ([0-9]+)/([0-9]+)/([0-9]+).*#\1 + \2 + \3#p' <<<"$line")
  counted=$((${counted:-0}))
  found=()
  for f in "$work"/findings/*; do
    [ -f "$f" ] || continue
    name=$(basename "$f")
    cp "$f" "$src/tests/fuzz/regression/$t/$name"
    found+=("$name")
  done
  # The engine ends with status 1 after findings: only without any is a
  # failing status a failure of the run itself.
  failure=
  if [ "${runs:-0}" -eq 0 ]; then
    failure="FAILED: no executions"
  elif [ "$counted" -gt 0 ] && [ ${#found[@]} -eq 0 ]; then
    failure="FAILED: $counted findings counted, no input kept"
  elif [ "$rc" != 0 ] && [ "$counted" -eq 0 ] && [ ${#found[@]} -eq 0 ]; then
    failure="FAILED: engine exit status $rc"
  fi
  row="${found[*]:0:3}"
  [ ${#found[@]} -le 3 ] || row="${#found[@]} findings: $row ..."
  [ -z "$failure" ] || row="$failure${row:+ $row}"
  printf '%-12s %12s %8s %8s %s\n' "$t" "${runs:-0}" "${cov:-?}" "${corp:-?}" "${row:-none}"
  [ ${#found[@]} -eq 0 ] && [ -z "$failure" ] || status=1
done
echo "logs: $build/fuzz-work/<target>/log.txt"
exit $status
