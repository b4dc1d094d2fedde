#!/usr/bin/env bash
# Installs what is missing, builds Fidmora and starts it. Arguments go to the
# program (a project file to open). Without a desktop the window cannot be
# shown: the command-line program fidmora-cli then does its main job on the
# example feed in examples/ instead.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

fidmora_install "${FIDMORA_PACKAGES[@]}"
fidmora_build

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/fidmora "$@"
fi

out=build/example/changes.csv
mkdir -p "$(dirname "$out")"
echo
echo "No desktop here (neither DISPLAY nor WAYLAND_DISPLAY is set): the Fidmora window needs one."
if [ $# -gt 0 ]; then
    echo "The arguments ($*) are for the window and are not used."
fi
echo "What runs without a desktop is fidmora-cli, the same catalogue from the command line"
echo "(for cron and task schedulers). Here it is on the example in examples/: a project with"
echo "category rules, a feed of three shops and the base that the site holds now:"
echo
steps=(--project examples/shop.fdm --add examples/feed.csv --add-base examples/base.csv --summary
       --columns status,id,name,price,oldprice,categoryId,vendor,url,advcampaign_name --save "$out")
echo "  build/cli/fidmora-cli ${steps[*]}"
echo
build/cli/fidmora-cli "${steps[@]}"
echo
echo "The goods the site has to change (status + added, ~ changed, - deleted) are in $out."
echo "More: build/cli/fidmora-cli --help, and docs/cli.md."
