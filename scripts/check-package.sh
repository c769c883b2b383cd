#!/usr/bin/env bash
# Makes the Debian package from a built tree (build/ or $BUILD_DIR) and checks
# it: its name, its dependencies, every program and every demo file in it, and
# the unpacked programs at work (the game answers --version, rovanta-sim wins
# the demo race).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${BUILD_DIR:-$root/build}")
work=$(mktemp -d "${TMPDIR:-/tmp}/rovanta-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "check-package: $*" >&2
  exit 1
}

version=$("$build/app/rovanta" --version | awk '{print $2}')
deb=$work/out/rovanta_${version}_$(dpkg --print-architecture).deb
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
[ -f "$deb" ] || fail "no $(basename "$deb"); made: $(ls "$work/out")"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libglut libavcodec libavformat libglu1; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
[ "$("$usr/bin/rovanta" --version)" = "rovanta $version" ] || fail "the unpacked game does not answer --version"
[ -x "$usr/bin/rovanta-calibrate" ] || fail "rovanta-calibrate is not in the package"
for program in $(find "$build/app" "$build/tools" -type f -perm -u+x -name 'rovanta*' -printf '%f\n'); do
  [ -x "$usr/bin/$program" ] || fail "$program is built but not in the package"
done
(cd "$root/demo" && find . -type f | sort) >"$work/demo.list"
(cd "$usr/share/rovanta/demo" && find . -type f | sort) >"$work/packaged.list"
diff "$work/demo.list" "$work/packaged.list" >&2 || fail "the packaged demo differs from demo/ (< only in demo/)"
for file in share/applications/rovanta.desktop share/doc/rovanta/README.md; do
  [ -f "$usr/$file" ] || fail "$file is not in the package"
done

last=$(cd "$usr/share/rovanta/demo" && "$usr/bin/rovanta-sim" -s Scene.txt --keys keys/win.txt | tail -n 1)
grep -q '"state":"won"' <<<"$last" || fail "the unpacked rovanta-sim did not win the demo race: $last"
echo "check-package: $(basename "$deb") ($(du -h "$deb" | cut -f1)) holds every program and the demo; Depends: $depends"
