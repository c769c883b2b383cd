#!/usr/bin/env bash
# Records the README's pictures from the game running on the demo under a
# private virtual display: docs/race.png (the race view), docs/race-debug.png
# (the same in debug mode) and docs/race.gif (a few seconds of a race).
# Needs a built tree (bash scripts/build.sh); re-run it whenever the look of
# the game or of the demo changes. BUILD_DIR picks another build tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD_DIR:-$root/build}")
game=$build/app/rovanta
docs=$root/docs
for tool in Xvfb xdotool xwd convert; do
  command -v "$tool" >/dev/null || { echo "record-docs.sh: $tool is not installed (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$game" ] || { echo "record-docs.sh: no game at $game; build first (bash scripts/build.sh)" >&2; exit 1; }
[ -f "$root/demo/video/demo.avi" ] || { echo "record-docs.sh: no demo video; build first" >&2; exit 1; }

work=$(mktemp -d)
server=""
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display number that no other X server holds.
number=90
while [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number + 1)); done
export DISPLAY=:$number
Xvfb "$DISPLAY" -screen 0 1280x1024x24 +extension GLX -nolisten tcp >"$work/xvfb.log" 2>&1 &
server=$!
for _ in $(seq 300); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done

(cd "$root/demo" && exec "$game") >"$work/game.log" 2>&1 &
program=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Rovanta v0.0.0.1$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { cat "$work/game.log" >&2; echo "record-docs.sh: the game window did not appear" >&2; exit 1; }
sleep 1
xdotool windowfocus --sync "$window"

grab() { xwd -id "$window" -silent >"$1"; }
key() { xdotool windowfocus --sync "$window" key "$1"; }
hold() { xdotool windowfocus --sync "$window" keydown "$1"; sleep "$2"; xdotool keyup "$1"; }

# The race view and its debug twin, while both cars wait at the start and the
# camera sees them in front of the carton.
key r
sleep 2.5
grab "$work/race.xwd"
key p
sleep 1
grab "$work/race-debug.xwd"
key p

# A few seconds of racing, caught about six times a second: the player sets
# off up the straight and turns into the top one while the opponent drives
# off behind the carton.
frames=$work/frames
mkdir -p "$frames"
( for i in $(seq -w 0 31); do grab "$frames/$i.xwd"; sleep 0.12; done ) &
recorder=$!
sleep 0.3
hold Up 1.6
sleep 0.4
hold Left 0.3
hold Up 1.2
wait "$recorder"
key Escape

convert "$work/race.xwd" -strip -colors 256 "png8:$docs/race.png"
convert "$work/race-debug.xwd" -strip -colors 256 "png8:$docs/race-debug.png"
# Small enough for the README: every frame differs as the camera moves, so
# size and colours are what keep the file to a few hundred kilobytes.
convert -delay 16 -loop 0 "$frames"/*.xwd -resize 280x210 -fuzz 5% +dither -colors 32 -layers Optimize "$docs/race.gif"
ls -l "$docs/race.png" "$docs/race-debug.png" "$docs/race.gif"
