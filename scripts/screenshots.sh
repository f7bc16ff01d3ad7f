#!/usr/bin/env bash
# Takes the user guide's pictures of the real window: starts an X server of
# its own (Xvfb, so no display is needed), lays a scratch program folder with
# the built templates, and lets take_screenshots drive the window through
# the three steps.
#
#   scripts/screenshots.sh [HELPER DATA_DIR IMAGES_DIR]
#
# Without arguments it uses the build in build/ and writes into
# build/bin/doc/images, where the rendered guide looks for them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
helper="${1:-$root/build/tools/take_screenshots}"
data="${2:-$root/build/bin/data}"
images="${3:-$root/build/bin/doc/images}"

command -v Xvfb >/dev/null || { echo "screenshots.sh: Xvfb is missing (apt-get install xvfb)" >&2; exit 1; }
[ -x "$helper" ] || { echo "screenshots.sh: no helper at $helper" >&2; exit 1; }

scratch="$(mktemp -d)"
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/program/data" "$scratch/program/导出" "$scratch/runtime" "$images"
chmod 700 "$scratch/runtime"
cp "$data/B.mdb" "$data/导出空白.xls" "$scratch/program/data/"

# -displayfd picks a free display number, so several builds can run at once.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$scratch/display" \
    >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$scratch/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
[ -s "$scratch/display" ] || { echo "screenshots.sh: Xvfb did not start" >&2; exit 1; }

rm -f "$images"/*.png
env -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS -u WAYLAND_DISPLAY \
    DISPLAY=":$(head -n1 "$scratch/display")" QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 \
    LC_ALL=C.UTF-8 HOME="$scratch" XDG_CACHE_HOME="$scratch/cache" \
    XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config" \
    "$helper" "$scratch/program" "$images"
