#!/usr/bin/env bash
# Runs Rovanta on the bundled demo (the headless race until the game exists).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Resolved before changing into demo/, so a relative BUILD_DIR still works.
build=$(realpath -m "${BUILD_DIR:-$root/build}")
cd "$root/demo"
exec "$build/tools/sim/rovanta-sim" -s Scene.txt --keys "$root/demo/keys/one-lap.txt" "$@"
