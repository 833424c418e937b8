#!/bin/sh
# Builds the fuzz targets with clang++ (ASan + UBSan + libFuzzer) in their own tree, replays the
# committed seed corpus, then fuzzes each target for a fixed time into a scratch corpus.
#   sh fuzz/run-fuzzers.sh [--seconds N] [--build-dir DIR] [--work-dir DIR] [TARGET...]
# TARGET is field_split, genotype_parser, legend or whole_run (default: all four); --seconds 0 only
# replays the seeds (what ctest runs by default: the same result on every run).
set -eu
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
seconds=30
build_dir=${TMPDIR:-/tmp}/corvane-fuzz-build
work_dir=${TMPDIR:-/tmp}/corvane-fuzz-work
targets=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    --work-dir) work_dir=$2; shift 2 ;;
    -h|--help) sed -n '2,6p' "$0"; exit 0 ;;
    *) targets="$targets $1"; shift ;;
  esac
done
[ -n "$targets" ] || targets="field_split genotype_parser legend whole_run"

command -v clang++ >/dev/null || { echo "run-fuzzers: clang++ not found (scripts/install-deps.sh installs it)" >&2; exit 1; }
mkdir -p "$work_dir"
if ! { cmake -S "$fuzz_dir" -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$build_dir" -j2; } >"$work_dir/build.log" 2>&1; then
  tail -n 40 "$work_dir/build.log" >&2
  echo "run-fuzzers: the fuzz targets did not build (log: $work_dir/build.log)" >&2
  exit 1
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=""
for target in $targets; do
  binary="$build_dir/${target}_fuzz"
  seeds="$fuzz_dir/corpus/$target"
  scratch="$work_dir/corpus/$target"
  artifacts="$work_dir/artifacts/$target"
  mkdir -p "$scratch" "$artifacts"
  case "$target" in
    whole_run) max_len=3000 ;;
    *) max_len=4096 ;;
  esac
  # Every seed once, each as its own run: a committed crash reproducer fails here.
  echo "== $target: replaying $(ls "$seeds" | wc -l) seeds"
  if ! "$binary" "$seeds"/* >"$work_dir/$target.replay.log" 2>&1; then
    echo "run-fuzzers: $target fails on a seed:" >&2
    tail -n 40 "$work_dir/$target.replay.log" >&2
    failed="$failed $target"
    continue
  fi
  [ "$seconds" -gt 0 ] || continue
  echo "== $target: fuzzing for $seconds s"
  if ! "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -rss_limit_mb=2048 \
      -dict="$fuzz_dir/tokens.dict" -artifact_prefix="$artifacts/" -print_final_stats=1 \
      "$scratch" "$seeds" >"$work_dir/$target.fuzz.log" 2>&1; then
    echo "run-fuzzers: $target found a failure; reproducer(s) in $artifacts:" >&2
    ls -l "$artifacts" >&2
    tail -n 60 "$work_dir/$target.fuzz.log" >&2
    failed="$failed $target"
    continue
  fi
  grep -E "^stat::number_of_executed_units|^stat::new_units_added" "$work_dir/$target.fuzz.log" | sed "s/^/   /"
done
if [ -n "$failed" ]; then
  echo "run-fuzzers: failures in:$failed (rerun one input: $build_dir/TARGET_fuzz FILE)" >&2
  exit 1
fi
echo "run-fuzzers: no failures"
