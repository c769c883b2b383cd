#!/usr/bin/env bash
# Builds with AddressSanitizer + UndefinedBehaviorSanitizer into build-asan/
# (or $ASAN_BUILD_DIR) and runs the whole test suite there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
BUILD_DIR=$build bash "$root/scripts/build.sh" -DROVANTA_SANITIZE=ON "$@"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
