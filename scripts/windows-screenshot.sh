#!/usr/bin/env bash
# Takes docs/windows.png: fidmora.exe of the Windows build (test.sh --windows)
# on the windows platform under Wine, in a virtual X display (Xvfb), with the
# example feed and its base loaded through the menus as a user would:
# Импорт → Добавить CSV, then Импорт базы → Добавить CSV.
#
#   scripts/windows-screenshot.sh [OUTPUT.png]
#
# Needs FIDMORA_SCREENSHOT_PACKAGES (scripts/common.sh): Xvfb, xdotool and
# ImageMagick. The window runs in a Wine prefix of its own
# (build-windows/wineprefix-gui), so its autosave touches nothing else.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
fidmora_install "${FIDMORA_SCREENSHOT_PACKAGES[@]}"

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
# The Russian interface, whatever this machine's language.
LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 scripts/wine-run.sh --prefix "$PWD/build-windows/wineprefix-gui" "$gui" \
    examples/shop.fdm >/dev/null 2>&1 &
program=$!

# The window is up when X knows it.
for _ in $(seq 1 120); do
    window=$(xdotool search --name 'Fidmora' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 1
done
[ -n "${window:-}" ] || { echo "fidmora.exe showed no window within 2 minutes" >&2; exit 1; }
sleep 3

# menu: its place on the menu bar (Файл 0, Вид 1, Офферы 2, Импорт 3,
# Экспорт 4, Импорт базы 5); the first entry of each is "Добавить CSV".
add_csv() {
    local place=$1 file=$2
    xdotool windowactivate --sync "$window" 2>/dev/null || true
    xdotool key --delay 150 F10
    for _ in $(seq 1 "$place"); do xdotool key --delay 150 Right; done
    xdotool key --delay 300 Down Return
    sleep 3
    # The system's file chooser takes a whole path in its name field.
    xdotool type --delay 30 "Z:${file//\//\\}"
    xdotool key Return
    sleep 8
}
add_csv 3 "$PWD/examples/feed.csv"
add_csv 5 "$PWD/examples/base.csv"
window=$(xdotool search --name 'Fidmora' | head -1)
import -window root -crop 1440x900+0+0 "$out"
echo "Wrote $out"
