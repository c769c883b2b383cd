#!/usr/bin/env bash
# Runs Rovanta on the bundled demo: the game in a window when a display can be
# reached (arguments go to the game, e.g. -debug), otherwise the headless race
# of the demo scene with a short summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Resolved before changing into demo/, so a relative BUILD_DIR still works.
build=$(realpath -m "${BUILD_DIR:-$root/build}")
game=$build/app/rovanta
sim=$build/tools/sim/rovanta-sim
keys=keys/win.txt
steps_per_second=60

display_reachable() {
  [ -n "${DISPLAY:-}" ] || return 1
  # xdotool comes with the project's dependencies; without it, trust DISPLAY.
  if command -v xdotool >/dev/null 2>&1; then
    xdotool getdisplaygeometry >/dev/null 2>&1 || return 1
  fi
}

# A top-level number or word of a JSON line.
field() {
  grep -o "\"$1\":\"\{0,1\}[A-Za-z0-9-]*" <<<"$2" | head -n 1 | sed 's/.*://; s/"//g'
}

summarise() {
  local last=$1 steps state player opponent best lastlap
  steps=$(field step "$last")
  state=$(field state "$last")
  player=$(field playerLap "$last")
  opponent=$(field opponentLaps "$last")
  best=$(field bestLapTime "$last")
  lastlap=$(field lastLapTime "$last")
  echo "The demo race, driven by the key script demo/$keys:"
  echo "  result:          $state"
  echo "  your laps:       $((player - 1)) completed (the race is won on reaching lap 10)"
  echo "  opponent's laps: ${opponent:-0} completed"
  echo "  lap times:       best $best s, last $lastlap s"
  awk -v s="$steps" -v r="$steps_per_second" \
    'BEGIN { printf "  race time:       %d steps, %.1f s at the game'"'"'s %d steps a second\n", s, s / r, r }'
}

cd "$root/demo"
if display_reachable && [ -x "$game" ]; then
  echo "Rovanta: press R to start, arrow keys to drive, P for the debug view, + and - for the detection threshold, Esc to quit."
  exec "$game" "$@"
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "No display: DISPLAY is set to $DISPLAY, but it cannot be reached."
elif [ -x "$game" ]; then
  echo "No display: DISPLAY is not set, so the game cannot open its window."
fi
if [ ! -x "$game" ]; then
  echo "The game is not built ($game); this build has only the headless race."
fi
echo "Running the race without camera or window instead (rovanta-sim)."
echo
seconds_per_step=$(awk -v r=$steps_per_second 'BEGIN { printf "%.17g", 1 / r }')
last=$("$sim" -s Scene.txt --keys "$keys" --seconds-per-step "$seconds_per_step" | tail -n 1)
summarise "$last"
echo
echo "To see the game itself, run this script where a display is available, for example"
echo "in a desktop session, or with a virtual one: Xvfb :5 & DISPLAY=:5 bash scripts/run-demo.sh"
echo "Every step as JSON: cd demo && $sim -s Scene.txt --keys $keys --seconds-per-step $seconds_per_step"
