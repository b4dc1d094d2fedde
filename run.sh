#!/usr/bin/env bash
# Installs what is missing, builds Fidmora and starts it. Arguments go to the
# program (a project file to open).
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

fidmora_install "${FIDMORA_PACKAGES[@]}"
fidmora_build

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/fidmora "$@"
fi
echo "No display: starting Fidmora under xvfb-run (an invisible screen)."
fidmora_install xvfb xauth
exec xvfb-run -a build/src/fidmora "$@"
