#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, as CTest's
# emulator and by hand:
#
#   scripts/wine-run.sh [--prefix WINEPREFIX] PROGRAM.exe [ARGUMENTS...]
#
# The Wine prefix is private (by default build-windows/wineprefix beside the
# program's build folder, or FIDMORA_WINEPREFIX) and made on first use, under
# a lock, so that tests started together do not make it twice. Wine keeps the
# variables named QT_... from the program; they are passed on as WINEQT_...,
# which Wine hands over as QT_.... Qt's offscreen platform on Windows draws
# with the fonts of one folder: the DejaVu fonts of Debian's fonts-dejavu-core.
# Windows runs in Russian, as our users' does, where the host has that
# locale (FIDMORA_WINE_LOCALE chooses another, e.g. en_US.UTF-8).
set -euo pipefail

prefix=${FIDMORA_WINEPREFIX:-}
if [ "${1:-}" = --prefix ]; then
    prefix=$2
    shift 2
fi
[ $# -ge 1 ] || { echo "usage: wine-run.sh [--prefix WINEPREFIX] PROGRAM.exe [ARGUMENTS...]" >&2; exit 2; }
if [ -z "$prefix" ]; then
    build=$(cd "$(dirname "$1")" && pwd)
    while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
    [ "$build" = / ] && build=$(cd "$(dirname "$1")" && pwd)
    prefix=$build/wineprefix
fi

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || true)
[ -n "$wine" ] || { echo "wine-run.sh: Wine is missing (apt-get install wine64)" >&2; exit 2; }

export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
while IFS='=' read -r name value; do
    case $name in QT_*) export "WINE$name=$value" ;; esac
done < <(env)
: "${WINEQT_QPA_FONTDIR:=Z:/usr/share/fonts/truetype/dejavu}"
export WINEQT_QPA_FONTDIR
# Wine names Unix files in the locale's character set: a locale the host
# has not generated would leave it ASCII, and Cyrillic file names could not
# be made. Russian where the host has it (locale-gen ru_RU.UTF-8), else C.UTF-8
# (an English Windows).
if [ -z "${FIDMORA_WINE_LOCALE:-}" ]; then
    if locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
        FIDMORA_WINE_LOCALE=ru_RU.UTF-8
    else
        FIDMORA_WINE_LOCALE=C.UTF-8
    fi
fi
locale=$FIDMORA_WINE_LOCALE

if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        [ -f "$prefix/system.reg" ] || env LC_ALL="$locale" "$wine" wineboot --init >/dev/null 2>&1 || true
        /usr/lib/wine/wineserver -w 2>/dev/null || true
    ) 9>"$prefix.lock"
fi
# A Qt Test program's log does not reach a pipe from under Wine: it is
# written to a file and shown from there, for CTest's output on failure.
case $(basename "$1") in
tst_*.exe)
    if ! printf '%s\n' "$@" | grep -qx -- '-o'; then
        log=$(mktemp)
        status=0
        env LC_ALL="$locale" "$wine" "$@" -o "Z:$log,txt" || status=$?
        cat "$log"
        rm -f "$log"
        exit "$status"
    fi
    ;;
esac
exec env LC_ALL="$locale" "$wine" "$@"
