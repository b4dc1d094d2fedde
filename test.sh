#!/usr/bin/env bash
# Installs what is missing, builds Fidmora and runs every test, headless.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

fidmora_install "${FIDMORA_PACKAGES[@]}" "${FIDMORA_TEST_PACKAGES[@]}"
fidmora_build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc 2>/dev/null || echo 2)" "$@"
