#!/usr/bin/env bash
# Runs a test program inside a private D-Bus session with a keyring of its
# own (gnome-keyring's Secret Service, unlocked), in a home folder of its
# own, so that the user's keyring is never touched. Exits 77 (skipped) where
# the session bus or the keyring daemon is not installed.
#
# run_with_keyring.sh PROGRAM [ARGS...]
set -euo pipefail

for tool in dbus-run-session gnome-keyring-daemon; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export FIDMORA_TEST_KEYRING=1

# The daemon creates the login keyring with the password it reads and
# leaves it unlocked; it ends with the session's bus.
dbus-run-session -- bash -c \
    'printf %s fidmora-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null && "$@"' \
    keyring "$@"
