#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, two at a time,
# each from its seed corpus (tests/fuzz/corpus/NAME) plus what earlier runs
# of this build folder found (BUILD/fuzz/corpus/NAME). An input that crashes,
# leaks, breaks a target's property or takes longer than the per-input limit
# is kept in BUILD/fuzz/artifacts/ and fails the run: turn it into a test of
# the regular suite and fix it.
#
# run_fuzzers.sh BUILD_DIR [SECONDS [TARGET...]]
set -euo pipefail

build=$1
seconds=${2:-60}
shift $(($# >= 2 ? 2 : 1))
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(csvrow loader dccatalog yml project)

work=$build/fuzz
mkdir -p "$work/artifacts" "$work/logs" "$work/tmp"
# The targets write their files into a folder of the build, not /tmp.
export TMPDIR=$PWD/$work/tmp

dictionary() {
    case $1 in
    csvrow | loader) cat "$here/dictionaries/csv.dict" ;;
    *) cat "$here/dictionaries/xml.dict" "$here/dictionaries/$1.dict" ;;
    esac
}

run() {
    local name=$1
    mkdir -p "$work/corpus/$name"
    dictionary "$name" >"$work/$name.dict"
    "$build/tests/fuzz/fuzz_$name" "$work/corpus/$name" "$here/corpus/$name" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -max_len=65536 \
        -dict="$work/$name.dict" -artifact_prefix="$PWD/$work/artifacts/$name-" \
        -print_final_stats=1 >"$work/logs/$name.log" 2>&1
}

failed=()
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    for name in "${targets[@]:i:2}"; do
        run "$name" &
        pids+=("$!:$name")
    done
    for entry in "${pids[@]}"; do
        if wait "${entry%%:*}"; then
            name=${entry#*:}
            echo "fuzz_$name: $(grep -m1 -o 'stat::number_of_executed_units: [0-9]*' "$work/logs/$name.log" \
                | grep -o '[0-9]*$') inputs in ${seconds} s, nothing found"
        else
            name=${entry#*:}
            failed+=("$name")
            echo "fuzz_$name FAILED:" >&2
            tail -n 60 "$work/logs/$name.log" >&2
        fi
    done
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found faults in: ${failed[*]}; the inputs are in $work/artifacts/" >&2
    exit 1
fi
echo "${#targets[@]} passed, 0 failed"
