#!/usr/bin/env bash
# The Windows stage (test.sh --windows): cross-builds fidmora.exe,
# fidmora-cli.exe and every test into build-windows/, runs the suite under
# Wine, packages fidmora-<version>-windows-x64.zip and compares what
# fidmora-cli.exe makes of examples/ with what the Linux build makes of it,
# byte for byte.
#
#   scripts/windows-stage.sh [CTEST OPTIONS]
#
# The toolchain comes from scripts/windows-toolchain.sh (its cache, or about
# 40 minutes to build it once). Times of each step go to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

say() { echo "windows: $*" >&2; }
step_start=$SECONDS
# Runs a step and says its time; the step's own status is the result, so
# that a failing suite fails the stage.
timed() {
    local name=$1 status=0
    shift
    step_start=$SECONDS
    "$@" || status=$?
    say "$name: $((SECONDS - step_start)) s"
    return "$status"
}

fidmora_install "${FIDMORA_PACKAGES[@]}" "${FIDMORA_WINDOWS_PACKAGES[@]}"
fidmora_russian_locale
jobs=$(nproc 2>/dev/null || echo 2)
version=$(sed -n 's/^project(Fidmora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

build_windows() {
    local prefix
    prefix=$(scripts/windows-toolchain.sh --jobs "$jobs")
    cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/scripts/mingw-w64.cmake" \
        -DFIDMORA_MINGW_PREFIX="$prefix" >/dev/null
    cmake --build build-windows -j"$jobs"
}
timed "build" build_windows

# One program to ship each: the system's DLLs only.
for exe in build-windows/fidmora.exe build-windows/cli/fidmora-cli.exe; do
    [ -f "$exe" ] || exe=$(find build-windows -name "$(basename "$exe")" -print -quit)
    if x86_64-w64-mingw32-objdump -p "$exe" | grep -E 'DLL Name: (lib|Qt)' >&2; then
        say "$exe needs DLLs besides the system's"
        exit 1
    fi
done
gui=$(find build-windows -name fidmora.exe -print -quit)
cli=$(find build-windows -name fidmora-cli.exe -print -quit)
wine() { scripts/wine-run.sh --prefix "$PWD/build-windows/wineprefix" "$@"; }

status=0
# The prefix is made once, before the tests start side by side.
wine "$cli" --version >/dev/null
# Wine on a busy machine now and then lets a test's timing slip (a picture
# that answers within the same millisecond as another, a dialog's event one
# turn late): a failing test runs once more, and fails the stage only when
# it fails again; CTest's output shows both runs.
QT_QPA_PLATFORM=offscreen timed "the suite under Wine" \
    ctest --test-dir build-windows --output-on-failure -j"$jobs" --repeat until-pass:2 "$@" || status=1

package() {
    local name=fidmora-$version-windows-x64 stage=build-windows/package
    rm -rf "$stage" "build-windows/$name.zip"
    mkdir -p "$stage/$name/translations" "$stage/$name/licenses"
    cp "$gui" "$cli" "$stage/$name/"
    x86_64-w64-mingw32-strip "$stage/$name/"*.exe
    cp build-windows/translations/*.qm "$stage/$name/translations/"
    # Qt's own texts (standard buttons, file choosers) in Russian: a static
    # Qt looks for them beside the program.
    cp /usr/share/qt5/translations/qtbase_ru.qm "$stage/$name/translations/"
    cp README.md "$stage/$name/"
    cp -r examples "$stage/$name/"
    rm -f "$stage/$name/examples/"*.py
    local prefix
    prefix=$(sed -n 's/^FIDMORA_MINGW_PREFIX:PATH=//p' build-windows/CMakeCache.txt)
    cp -r "$prefix/licenses/." "$stage/$name/licenses/"
    (cd "$stage" && python3 -m zipfile -c "../$name.zip" "$name")
    say "packaged build-windows/$name.zip ($(du -h "build-windows/$name.zip" | cut -f1))"
}
timed "package" package

# The same run on both systems must give the same bytes: the summary and the
# changes in one file, and the files of the per-category save.
smoke() {
    local linux=build-windows/smoke/linux windows=build-windows/smoke/windows
    rm -rf build-windows/smoke
    mkdir -p "$linux/cats" "$windows/cats"
    [ -x build/cli/fidmora-cli ] || fidmora_build
    local steps=(--quiet --project examples/shop.fdm --add examples/feed.csv --add-base examples/base.csv --summary
                 --columns status,id,name,price,oldprice,categoryId,vendor,url,advcampaign_name)
    build/cli/fidmora-cli "${steps[@]}" --save "$linux/changes.csv" --save-by-cats "$linux/cats" >"$linux/summary.txt"
    wine "$cli" "${steps[@]}" --save "$windows/changes.csv" --save-by-cats "$windows/cats" >"$windows/summary.txt"
    if ! diff -r "$linux" "$windows" >&2; then
        say "fidmora-cli.exe and the Linux fidmora-cli differ on examples/"
        return 1
    fi
    say "fidmora-cli.exe gives the Linux build's bytes: $(find "$linux" -type f | wc -l) files"
}
timed "smoke" smoke || status=1
exit $status
