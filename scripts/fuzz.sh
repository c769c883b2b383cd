#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each one from
# its seed corpus: bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Exits non-zero on any crash, hang (over 1 s per input), leak or memory blow-up;
# the input that caused it is kept under build-fuzz/artifacts/<target>/.
# FUZZ_KEEP_CORPUS=1 continues from the corpus grown by earlier runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-60}
shift || true

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DROVANTA_FUZZ=ON -DROVANTA_BUILD_GAME=OFF \
  -DROVANTA_BUILD_VIDEO=OFF -DROVANTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j "$(nproc)"

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < "$build/fuzz_targets.txt"
fi

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs one target; the grown corpus goes to a scratch folder, never to the repo.
run_target() {
  local name=$1 src=$root/tests/fuzz
  local binary=$build/tests/fuzz/$name corpus=$build/corpus/$name artifacts=$build/artifacts/$name/
  if [ ! -x "$binary" ]; then
    echo "fuzz.sh: no fuzz target $name" >&2
    return 1
  fi
  if [ "${FUZZ_KEEP_CORPUS:-0}" != 1 ]; then
    rm -rf "$corpus"
  fi
  mkdir -p "$corpus" "$artifacts" "$build/logs"
  for seeds in "$src/corpus/$name" "$src/regressions/$name"; do
    if [ -d "$seeds" ] && [ -n "$(ls -A "$seeds")" ]; then
      cp "$seeds"/* "$corpus"/
    fi
  done
  local dict=()
  if [ -f "$src/$name.dict" ]; then
    dict=(-dict="$src/$name.dict")
  fi
  echo "== $name: $seconds s"
  local status=0
  "$binary" "$corpus" "${dict[@]}" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
    -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$artifacts" \
    >"$build/logs/$name.log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec' "$build/logs/$name.log" || true
  if [ $status -ne 0 ]; then
    tail -n 40 "$build/logs/$name.log" >&2
    echo "fuzz.sh: $name failed (status $status); input kept in $artifacts" >&2
  fi
  return $status
}

failed=()
for name in "${targets[@]}"; do
  run_target "$name" || failed+=("$name")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: failing targets: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: all targets ran cleanly"
