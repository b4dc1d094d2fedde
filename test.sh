#!/usr/bin/env bash
# Installs what is missing, builds Fidmora and runs every test, headless.
#
#   ./test.sh [CTEST OPTIONS]             Release build in build/, the whole suite
#   ./test.sh --sanitize [CTEST OPTIONS]  the whole suite built with AddressSanitizer and
#                                         UndefinedBehaviorSanitizer, in build-sanitize/
#   ./test.sh --thread [CTEST OPTIONS]    the same with ThreadSanitizer, in build-thread/
#                                         (by hand, e.g. -R 'tst_(loading|saving|cli)')
#   ./test.sh --qt6 [CTEST OPTIONS]       the whole suite built with Qt 6 (Release) in build-qt6/
#   ./test.sh --fuzz [SECONDS]            the fuzz targets of tests/fuzz, built with clang in
#                                         build-fuzz/, each run SECONDS (60) from its seeds
#   ./test.sh --portable [CTEST OPTIONS]  the suite built to read feeds as Windows does
#                                         (FIDMORA_PORTABLE_IO), in build-portable/
#   ./test.sh --windows [CTEST OPTIONS]   the Windows programs and tests, cross-built in
#                                         build-windows/ and run under Wine, the zip and the
#                                         comparison with Linux (scripts/windows-stage.sh)
#
# A sanitizer's finding ends the program that has it, and its report is also
# kept in the build folder's sanitizer-reports/ (the programs the tests
# start report there too); any report there fails the run.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

mode=normal
case "${1:-}" in
--sanitize) mode=sanitize; shift ;;
--thread) mode=thread; shift ;;
--fuzz) mode=fuzz; shift ;;
--qt6) mode=qt6; shift ;;
--portable) mode=portable; shift ;;
--windows) shift; exec scripts/windows-stage.sh "$@" ;;
esac

fidmora_install "${FIDMORA_PACKAGES[@]}" "${FIDMORA_TEST_PACKAGES[@]}"
[ "$mode" = qt6 ] && fidmora_install "${FIDMORA_QT6_PACKAGES[@]}"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)

# Runs the suite of a sanitizer build; its reports go to files as well.
sanitized_suite() {
    local build=$1
    shift
    local reports=$build/sanitizer-reports
    rm -rf "$reports"
    mkdir -p "$reports"
    local status=0
    ASAN_OPTIONS=log_path=$PWD/$reports/asan UBSAN_OPTIONS=log_path=$PWD/$reports/ubsan \
        TSAN_OPTIONS=log_path=$PWD/$reports/tsan \
        ctest --test-dir "$build" --output-on-failure -j"$jobs" "$@" || status=$?
    local report
    for report in "$reports"/*; do
        [ -f "$report" ] && grep -qE "ERROR: |runtime error|WARNING: ThreadSanitizer" "$report" || continue
        echo "== Sanitizer report $report" >&2
        cat "$report" >&2
        status=1
    done
    return "$status"
}

case $mode in
normal)
    fidmora_build
    ctest --test-dir build --output-on-failure -j"$jobs" "$@"
    ;;
portable)
    fidmora_build build-portable -DCMAKE_BUILD_TYPE=Release -DFIDMORA_PORTABLE_IO=ON -DFIDMORA_BENCH=OFF
    ctest --test-dir build-portable --output-on-failure -j"$jobs" "$@"
    ;;
sanitize)
    fidmora_build build-sanitize -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DFIDMORA_SANITIZE=address,undefined \
        -DFIDMORA_BENCH=OFF
    sanitized_suite build-sanitize "$@"
    ;;
thread)
    fidmora_build build-thread -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DFIDMORA_SANITIZE=thread -DFIDMORA_BENCH=OFF
    sanitized_suite build-thread "$@"
    ;;
qt6)
    fidmora_build build-qt6 -DCMAKE_BUILD_TYPE=Release -DFIDMORA_QT=6
    ctest --test-dir build-qt6 --output-on-failure -j"$jobs" "$@"
    ;;
fuzz)
    seconds=${1:-60}
    CC=clang CXX=clang++ fidmora_build build-fuzz -DCMAKE_BUILD_TYPE=Release -DFIDMORA_FUZZ=ON
    tests/fuzz/run_fuzzers.sh build-fuzz "$seconds"
    ;;
esac
