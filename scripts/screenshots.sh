#!/usr/bin/env bash
# Makes the pictures of the change report and of a changed good's card that
# the README shows: docs/report.png (the report of the examples, in headless
# Chromium: Debian's package "chromium") and docs/card.png (the card, under
# Qt's offscreen platform). Run from anywhere, after a build:
#
#   scripts/screenshots.sh [BUILD_FOLDER]        (build/ by default)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cd "$root"
. scripts/common.sh
fidmora_install "${FIDMORA_SCREENSHOT_PACKAGES[@]}"
cmake --build "$build" --target fidmora-cli cardshot
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/cli/fidmora-cli" --quiet --add examples/feed.csv --add-base examples/base.csv --report "$work/report.html"
# Nothing of the page is fetched; the switches keep Chromium itself off the network.
chromium --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update \
    --disable-sync --no-first-run --hide-scrollbars --user-data-dir="$work/profile" --window-size=900,1780 \
    --screenshot="$root/docs/report.png" "file://$work/report.html" 2>/dev/null
QT_QPA_PLATFORM=offscreen "$build/bench/cardshot" "$root/docs/card.png"
echo "written: docs/report.png, docs/card.png"
