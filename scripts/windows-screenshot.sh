#!/usr/bin/env bash
# Takes docs/windows.png: fidmora.exe of the Windows build (test.sh --windows)
# on the windows platform under Wine, in a virtual X display (Xvfb), with the
# example feed and its base loaded through the menus as a user would:
# Импорт → Добавить CSV, then Импорт базы → Добавить CSV.
#
#   scripts/windows-screenshot.sh [OUTPUT.png]
#
# Needs FIDMORA_WINDOWS_SCREENSHOT_PACKAGES (scripts/common.sh): Xvfb, xdotool and
# ImageMagick. The window runs in a Wine prefix of its own
# (build-windows/wineprefix-gui), so its autosave touches nothing else.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
fidmora_install "${FIDMORA_WINDOWS_SCREENSHOT_PACKAGES[@]}"

out=${1:-docs/windows.png}
gui=$(find build-windows -name fidmora.exe -print -quit 2>/dev/null || true)
[ -n "$gui" ] || { echo "No build-windows/fidmora.exe: run ./test.sh --windows first" >&2; exit 1; }

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    WINEPREFIX=$PWD/build-windows/wineprefix-gui /usr/lib/wine/wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
sleep 2

unset QT_QPA_PLATFORM
# Wine's own desktop, which the window fills maximised as on Windows; the
# interface in English, as the README is.
FIDMORA_WINE_LOCALE=C.UTF-8 scripts/wine-run.sh --prefix "$PWD/build-windows/wineprefix-gui" \
    explorer /desktop=Fidmora,1440x900 "$gui" examples/shop.fdm >/dev/null 2>&1 &
program=$!

# The window is up when its title is.
for _ in $(seq 1 120); do
    xdotool search --name 'Goods' >/dev/null 2>&1 && break
    sleep 1
done
xdotool search --name 'Goods' >/dev/null 2>&1 || { echo "fidmora.exe showed no window within 2 minutes" >&2; exit 1; }
sleep 3

# place: the menu's place on the menu bar (File 0, View 1, Offers 2,
# Import 3, Export 4, Import base 5), whose first entry is "Add CSV".
add_csv() {
    local place=$1 file=$2
    xdotool key --delay 200 alt
    for _ in $(seq 1 "$place"); do xdotool key --delay 200 Right; done
    xdotool key --delay 500 Down Return
    sleep 4
    # The system's file chooser takes a whole path in its name field.
    xdotool type --delay 40 "Z:${file//\//\\}"
    xdotool key Return
    sleep 10
}
xdotool mousemove 700 500 click 1
add_csv 3 "$PWD/examples/feed.csv"
add_csv 5 "$PWD/examples/base.csv"
# The category tree opened one level.
xdotool mousemove 16 545 click 1
sleep 2
import -window root "$out"
echo "Wrote $out"
