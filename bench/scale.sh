#!/usr/bin/env bash
# The catalogue's work at scale: feeds of 1,000,000 and 3,000,000 rows (and
# 10,000,000 with --with-10m, about 8.3 GB and its base as much again) with
# their bases, each step in a process of its own, side by side with wc -l
# and Miller on the same files:
#   load      the data load                     >= 5x faster than mlr count, <= 3x wc -l
#   base      a base load over the data         <= 2.5x the data load
#   dedup     duplicate removal                 peak memory <= 1.5x the load's
#   save      a save of the whole catalogue
#   per row   the load's cost per row at 3M (and 10M) within 1.1x of 1M's
#
# usage: bench/scale.sh [--with-10m] [--seed S] [--runs N] [--out DIR] [--sizes "N M ..."]
#
# --sizes replaces the sizes (rows) for a quick run; the first is the one the
# others' cost per row is compared with.
# The feeds live in bench/out/scale/ (or DIR) and are reused while the seed
# and the generator stay the same. Every step runs N times (3); the best
# wall time counts, as the machine may be shared.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seed=1
runs=3
with10m=0
out="$here/out/scale"
while [ $# -gt 0 ]; do
    case "$1" in
    --with-10m) with10m=1; shift ;;
    --seed) seed=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --sizes) read -r -a custom <<<"$2"; shift 2 ;;
    -h | --help) sed -n '2,20p' "$0"; exit 0 ;;
    *) echo "scale.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

# shellcheck source=../scripts/common.sh
. "$root/scripts/common.sh"
fidmora_install "${FIDMORA_PACKAGES[@]}" miller time

build="$root/build"
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
    build="$root/build-release"
fi
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
echo "Building the benchmarks in $build ..."
cmake --build "$build" -j2 --target feedgen scalebench >/dev/null
bin="$build/bench"

sizes=(1000000 3000000)
[ "$with10m" = 1 ] && sizes+=(10000000)
[ -n "${custom+x}" ] && sizes=("${custom[@]}")
mkdir -p "$out"
generator=$(sha1sum "$here/feedgen.cpp" | cut -c1-12)

# generate FILE ARGS...: runs the generator unless FILE was made by the same
# generator with the same arguments.
generate() {
    local file=$1
    shift
    local want="seed=$seed generator=$generator args=$*"
    if [ -f "$file" ] && [ -f "$file.log" ] && [ "$(head -n1 "$file.log")" = "$want" ]; then
        return
    fi
    echo "Generating $(basename "$file") ..."
    rm -f "$file" "$file.log"
    local log
    log=$("$bin/feedgen" "$@" --seed "$seed" --out "$file")
    printf '%s\n%s\n' "$want" "$log" >"$file.log"
}
for rows in "${sizes[@]}"; do
    generate "$out/feed-$rows.csv" --rows "$rows"
    generate "$out/base-$rows.csv" --base-from "$out/feed-$rows.csv"
done

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
fmt() { awk -v v="$1" -v d="$2" 'BEGIN { printf "%.*f", d, v }'; }
fig() { awk -v k="$2" '$1 == "FIGURE" && $2 == k { print $3; exit }' "$1"; }

# best NAME COMMAND...: runs the command $runs times; sets BEST (the least
# wall seconds), BEST_CPU (its user + system seconds),
# PEAK_MB (the largest maximum resident set) and leaves the output of the
# best run in $out/NAME.out.
best() {
    local name=$1
    shift
    BEST=""
    BEST_CPU=""
    PEAK_MB=0
    local i
    for ((i = 0; i < runs; i++)); do
        local start end
        start=$(date +%s.%N)
        /usr/bin/time -f '%U %S %M' -o "$out/$name.time" "$@" >"$out/$name.run" 2>"$out/$name.err" || {
            echo "scale.sh: $name failed:" >&2
            cat "$out/$name.err" >&2
            exit 1
        }
        end=$(date +%s.%N)
        local wall
        wall=$(calc "$end - $start")
        read -r user system peak <"$out/$name.time"
        if [ -z "$BEST" ] || awk "BEGIN { exit !($wall < $BEST) }"; then
            BEST=$wall
            BEST_CPU=$(calc "$user + $system")
            cp "$out/$name.run" "$out/$name.out"
        fi
        PEAK_MB=$(awk -v a="$PEAK_MB" -v b="$(calc "$peak / 1024")" 'BEGIN { print (b > a) ? b : a }')
    done
}
# step FIGURE: the best run's own seconds for a step of scalebench
# (the process also loads the feed first, which its own figure leaves out).
step() { fig "$out/$1.out" "$2"; }

echo "Load average before the runs: $(cut -d' ' -f1 /proc/loadavg) (2 processors)."
declare -A R
for rows in "${sizes[@]}"; do
    feed="$out/feed-$rows.csv"
    base="$out/base-$rows.csv"
    echo "Running $rows rows ..."
    sync
    cat "$feed" "$base" >/dev/null
    best "wc-$rows" wc -l "$feed"
    R[wc,$rows]=$BEST
    best "mlr-$rows" mlr --icsv --ifs ';' count "$feed"
    R[mlr,$rows]=$BEST
    best "load-$rows" "$bin/scalebench" "$feed" --step load
    R[load,$rows]=$(step "load-$rows" load_seconds)
    R[loadcpu,$rows]=$(step "load-$rows" load_cpu_seconds)
    R[loadpeak,$rows]=$PEAK_MB
    best "base-$rows" "$bin/scalebench" "$feed" --step base --base "$base"
    R[base,$rows]=$(step "base-$rows" step_seconds)
    R[basepeak,$rows]=$PEAK_MB
    best "dedup-$rows" "$bin/scalebench" "$feed" --step dedup
    R[dedup,$rows]=$(step "dedup-$rows" step_seconds)
    R[deduppeak,$rows]=$PEAK_MB
    best "save-$rows" "$bin/scalebench" "$feed" --step save --out "$out/save-$rows.csv"
    R[save,$rows]=$(step "save-$rows" step_seconds)
    R[savepeak,$rows]=$PEAK_MB
    rm -f "$out/save-$rows.csv"
done

echo
printf '%-10s %9s %8s %8s %16s %9s %9s %16s %16s %16s\n' "rows" "size MB" "wc -l s" "mlr s" \
    "load s (ns/row)" "load MB" "base s" "dedup s (MB)" "save s (MB)" "base MB"
for rows in "${sizes[@]}"; do
    printf '%-10s %9s %8s %8s %16s %9s %9s %16s %16s %16s\n' "$rows" \
        "$(fmt "$(calc "$(stat -c %s "$out/feed-$rows.csv") / 1e6")" 0)" \
        "$(fmt "${R[wc,$rows]}" 3)" "$(fmt "${R[mlr,$rows]}" 3)" \
        "$(fmt "${R[load,$rows]}" 3) ($(fmt "$(calc "${R[load,$rows]} / $rows * 1e9")" 0))" \
        "$(fmt "${R[loadpeak,$rows]}" 0)" "$(fmt "${R[base,$rows]}" 3)" \
        "$(fmt "${R[dedup,$rows]}" 3) ($(fmt "${R[deduppeak,$rows]}" 0))" \
        "$(fmt "${R[save,$rows]}" 3) ($(fmt "${R[savepeak,$rows]}" 0))" "$(fmt "${R[basepeak,$rows]}" 0)"
done

echo
failures=0
check() {
    local result=PASS
    awk "BEGIN { exit !($3) }" || { result=FAIL; failures=$((failures + 1)); }
    printf '%-54s %12s  %s\n' "$1" "$2" "$result"
}
one=${sizes[0]}
for rows in "${sizes[@]}"; do
    check "$rows: load >= 5x faster than mlr count" "$(fmt "$(calc "${R[mlr,$rows]} / ${R[load,$rows]}")" 2)x" \
        "${R[mlr,$rows]} / ${R[load,$rows]} >= 5"
    check "$rows: load <= 3x wc -l" "$(fmt "$(calc "${R[load,$rows]} / ${R[wc,$rows]}")" 2)x" \
        "${R[load,$rows]} / ${R[wc,$rows]} <= 3"
    check "$rows: base load <= 2.5x the data load" "$(fmt "$(calc "${R[base,$rows]} / ${R[load,$rows]}")" 2)x" \
        "${R[base,$rows]} / ${R[load,$rows]} <= 2.5"
    check "$rows: dedup peak <= 1.5x the load's" "$(fmt "$(calc "${R[deduppeak,$rows]} / ${R[loadpeak,$rows]}")" 2)x" \
        "${R[deduppeak,$rows]} / ${R[loadpeak,$rows]} <= 1.5"
    if [ "$rows" != "$one" ]; then
        check "$rows: load per row within 1.1x of $one's" \
            "$(fmt "$(calc "${R[load,$rows]} / $rows / (${R[load,$one]} / $one)")" 2)x" \
            "${R[load,$rows]} / $rows <= 1.1 * ${R[load,$one]} / $one"
    fi
done
echo "(load, base, dedup and save: the step's own seconds, best of $runs; MB: peak resident memory of the"
echo " step's whole process; wc -l and mlr: whole processes.) Load average after: $(cut -d' ' -f1 /proc/loadavg)."
[ "$failures" = 0 ] && echo "All targets met." || echo "$failures target(s) missed."
exit 0
