#!/usr/bin/env bash
# Measures the catalogue library against its peers on generated feeds, in one
# run, and checks the performance targets:
#   reading:  readbench vs Python's csv module vs Miller (count)
#   loading:  loadbench's data load vs Miller count (>= 5x faster, peak RSS <= 300 MB)
#   base:     base load <= 2.5x the data load
#   saving:   save to one file <= 1.5x the data load and faster than Miller cat
#   dedup:    each run < 3 s, one category / many categories <= 2
#
# usage: bench/compare.sh [--rows N] [--seed S] [--regenerate]
#
# The feeds live in bench/out/ (not tracked) and are reused while the rows,
# the seed and the generator's source stay the same. The targets are set for
# 1,000,000 rows; a smaller --rows is a quick run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
rows=1000000
seed=1
regenerate=0
while [ $# -gt 0 ]; do
    case "$1" in
    --rows) rows=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --regenerate) regenerate=1; shift ;;
    -h | --help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "compare.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

# shellcheck source=../scripts/common.sh
. "$root/scripts/common.sh"

# --- Tools -------------------------------------------------------------------
fidmora_install "${FIDMORA_PACKAGES[@]}" miller time
command -v python3 >/dev/null 2>&1 || fidmora_install python3

# --- Build (Release) ---------------------------------------------------------
build="$root/build"
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
    build="$root/build-release"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
echo "Building the benchmarks in $build ..."
cmake --build "$build" -j2 --target feedgen readbench loadbench dedupbench >/dev/null
bin="$build/bench"

# --- Feeds ---------------------------------------------------------------------
out="$here/out"
mkdir -p "$out"
stamp="rows=$rows seed=$seed generator=$(sha1sum "$here/feedgen.cpp" | cut -c1-12)"
feed="$out/feed-$rows-s$seed.csv"
base="$out/base-$rows-s$seed.csv"
many="$out/dedup-many-$rows-s$seed.csv"
one="$out/dedup-one-$rows-s$seed.csv"

# generate FILE feedgen-arguments...: runs the generator unless FILE was made
# by the same generator with the same arguments; its output goes to FILE.log.
generate() {
    local file=$1
    shift
    local want="$stamp args=$*"
    if [ "$regenerate" = 0 ] && [ -f "$file" ] && [ -f "$file.log" ] && [ "$(head -n1 "$file.log")" = "$want" ]; then
        echo "Reusing $(basename "$file")"
        return
    fi
    echo "Generating $(basename "$file") ..."
    rm -f "$file" "$file.log"
    local log
    log=$("$bin/feedgen" "$@" --seed "$seed" --out "$file")
    printf '%s\n%s\n' "$want" "$log" >"$file.log"
    grep -v '^FIGURE' <<<"$log"
}
generate "$feed" --rows "$rows"
generate "$base" --base-from "$feed"
generate "$many" --rows "$rows" --categories 2000 --duplicates 0.3
generate "$one" --rows "$rows" --one-category --duplicates 0.5

# --- Helpers -------------------------------------------------------------------
runs="$out/runs"
mkdir -p "$runs"

# fig FILE NAME: the value of a "FIGURE NAME value" line.
fig() { awk -v k="$2" '$1 == "FIGURE" && $2 == k { print $3; exit }' "$1"; }
# calc EXPRESSION: floating-point arithmetic.
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
# fmt NUMBER DIGITS
fmt() { awk -v v="$1" -v d="$2" 'BEGIN { printf "%.*f", d, v }'; }
# warm FILE...: flushes what earlier steps wrote, so that no run is slowed
# by their write-back, and brings the files into the page cache.
warm() {
    sync
    cat "$@" >/dev/null
}

# timed NAME COMMAND...: runs the command under /usr/bin/time -v with its
# output in runs/NAME.out; sets SECONDS_TAKEN (wall clock), CPU_TAKEN (user
# and system processor seconds of the whole process) and PEAK_KB.
timed() {
    local name=$1
    shift
    local start end
    start=$(date +%s.%N)
    if ! /usr/bin/time -v -o "$runs/$name.time" "$@" >"$runs/$name.out" 2>"$runs/$name.err"; then
        echo "compare.sh: $name failed:" >&2
        cat "$runs/$name.err" >&2
        exit 1
    fi
    end=$(date +%s.%N)
    SECONDS_TAKEN=$(calc "$end - $start")
    PEAK_KB=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$runs/$name.time")
    CPU_TAKEN=$(awk -F': ' '/User time|System time/ { sum += $2 } END { printf "%.3f", sum }' "$runs/$name.time")
    peaks+=("$(printf '%-34s %9.1f MB' "$name" "$(calc "$PEAK_KB / 1024")")")
}
peaks=()

# --- Runs ----------------------------------------------------------------------
echo "Running (rows=$rows, seed=$seed; MB = 10^6 bytes) ..."
# The machine may be shared: a busy one makes every wall-clock figure worse.
load_before=$(cut -d' ' -f1 /proc/loadavg)
awk "BEGIN { exit !($load_before > 0.5) }" &&
    echo "Note: load average $load_before before the runs; other processes compete for the processors."
warm "$feed"
timed readbench "$bin/readbench" "$feed"
timed "python csv" python3 "$here/pycsv_read.py" "$feed"
py_s=$SECONDS_TAKEN
py_cpu=$CPU_TAKEN
timed "mlr count" mlr --icsv --ifs ';' count "$feed"
mlr_count_s=$SECONDS_TAKEN
mlr_count_cpu=$CPU_TAKEN
mlr_count_rows=$(sed -n 's/^count=//p' "$runs/mlr count.out")

warm "$feed" "$base"
timed loadbench "$bin/loadbench" "$feed" "$base" --out "$out/save"
load_mb=$(calc "$(fig "$runs/loadbench.out" load_peak_rss_kb) / 1024")
warm "$feed"
# Miller writes to a file, as the save does.
timed "mlr cat" bash -c 'mlr --csv --fs ";" cat "$1" >"$2"' _ "$feed" "$out/mlr-cat.csv"
mlr_cat_s=$SECONDS_TAKEN
mlr_cat_cpu=$CPU_TAKEN
rm -f "$out/mlr-cat.csv"

warm "$many" "$one"
timed dedupbench "$bin/dedupbench" "$many" "$one"
load_after=$(cut -d' ' -f1 /proc/loadavg)

# --- Report --------------------------------------------------------------------
rb="$runs/readbench.out"
lb="$runs/loadbench.out"
db="$runs/dedupbench.out"
feed_mb=$(calc "$(stat -c %s "$feed") / 1e6")
feed_rows=$(fig "$rb" rows)
load_s=$(fig "$lb" load_seconds)
base_s=$(fig "$lb" base_seconds)
save_s=$(fig "$lb" save_seconds)
savecats_s=$(fig "$lb" savecats_seconds)
many_s=$(fig "$db" many_seconds)
one_s=$(fig "$db" one_seconds)
dedup_ratio=$(fig "$db" ratio)
load_cpu=$(fig "$lb" load_cpu_seconds)
base_cpu=$(fig "$lb" base_cpu_seconds)
save_cpu=$(fig "$lb" save_cpu_seconds)
savecats_cpu=$(fig "$lb" savecats_cpu_seconds)
many_cpu=$(fig "$db" many_cpu_seconds)
one_cpu=$(fig "$db" one_cpu_seconds)

failures=0
# check LABEL MEASURED CONDITION: prints PASS or FAIL and counts failures.
check() {
    local result=PASS
    if ! awk "BEGIN { exit !($3) }"; then
        result=FAIL
        failures=$((failures + 1))
    fi
    printf '%-48s %14s %14s  %s\n' "$1" "$2" "$4" "$result"
}
line() { printf '%-40s %10s %10s %24s %10s %10s\n' "$@"; }
# ratio A B: A / B with two decimals and an "x".
ratio() { echo "$(fmt "$(calc "$1 / $2")" 2)x"; }

echo
echo "=== Reading $(basename "$feed"): $(fmt "$feed_rows" 0) rows, $(fmt "$feed_mb" 1) MB ==="
printf '%-34s %10s %10s %10s %12s %10s\n' "reader" "wall s" "cpu s" "MB/s" "rows/s" "vs ours"
readrow() { printf '%-34s %10s %10s %10s %12s %10s\n' "$1" "$(fmt "$2" 3)" "$(fmt "$3" 3)" \
    "$(fmt "$(calc "$feed_mb / $2")" 1)" "$(fmt "$(calc "$feed_rows / $2")" 0)" "$(ratio "$2" "$seq_s")"; }
seq_s=$(fig "$rb" seq_seconds)
readrow "readbench NextRow (decoded)" "$seq_s" "$(fig "$rb" seq_cpu_seconds)"
readrow "readbench stream (raw)" "$(fig "$rb" scan_seconds)" "$(fig "$rb" scan_cpu_seconds)"
readrow "python csv module" "$py_s" "$py_cpu"
readrow "mlr count" "$mlr_count_s" "$mlr_count_cpu"
printf '%-34s %10s %10s %10s %12s  (%s rows, %s MB of them)\n' "readbench 100000 random RowAt" \
    "$(fmt "$(fig "$rb" random_seconds)" 3)" "$(fmt "$(fig "$rb" random_cpu_seconds)" 3)" "$(fmt "$(fig "$rb" random_mbs)" 1)" \
    "$(fmt "$(fig "$rb" random_rows_per_s)" 0)" "100000" "$(fmt "$(calc "$(fig "$rb" random_mbs) * $(fig "$rb" random_seconds)")" 1)"
echo "(vs ours: wall time relative to readbench NextRow; cpu s: user + system; the peers' figures are whole"
echo " processes; python counted $(fig "$runs/python csv.out" py_rows) rows, mlr $mlr_count_rows)"

echo
echo "=== Loading, saving, duplicate removal (wall and processor seconds) ==="
line "measure" "wall s" "cpu s" "compared with" "wall ratio" "cpu ratio"
line "data load (AddFile)" "$(fmt "$load_s" 3)" "$(fmt "$load_cpu" 3)" "mlr count $(fmt "$mlr_count_s" 2)/$(fmt "$mlr_count_cpu" 2)" \
    "$(ratio "$mlr_count_s" "$load_s")" "$(ratio "$mlr_count_cpu" "$load_cpu")"
line "data load peak RSS (VmHWM)" "$(fmt "$load_mb" 1) MB" "" "limit 300 MB" "" ""
line "base load (AddFile as base)" "$(fmt "$base_s" 3)" "$(fmt "$base_cpu" 3)" "data load" "$(ratio "$base_s" "$load_s")" "$(ratio "$base_cpu" "$load_cpu")"
line "save to one file (SaveToFile)" "$(fmt "$save_s" 3)" "$(fmt "$save_cpu" 3)" "data load" "$(ratio "$save_s" "$load_s")" "$(ratio "$save_cpu" "$load_cpu")"
line "save to one file (SaveToFile)" "$(fmt "$save_s" 3)" "$(fmt "$save_cpu" 3)" "mlr cat $(fmt "$mlr_cat_s" 2)/$(fmt "$mlr_cat_cpu" 2)" \
    "$(ratio "$save_s" "$mlr_cat_s")" "$(ratio "$save_cpu" "$mlr_cat_cpu")"
line "save by categories (SaveToFilesByCats)" "$(fmt "$savecats_s" 3)" "$(fmt "$savecats_cpu" 3)" "data load" \
    "$(ratio "$savecats_s" "$load_s")" "$(ratio "$savecats_cpu" "$load_cpu")"
line "dedup, 2000 categories, 30% duplicates" "$(fmt "$many_s" 3)" "$(fmt "$many_cpu" 3)" "limit 3 s" "" ""
line "dedup, 1 category, 50% duplicates" "$(fmt "$one_s" 3)" "$(fmt "$one_cpu" 3)" "limit 3 s" "" ""
line "dedup one category / many categories" "" "" "limit 2" "$(fmt "$dedup_ratio" 2)" "$(fmt "$(calc "$one_cpu / $many_cpu")" 2)"

echo
echo "=== Targets ==="
printf '%-48s %14s %14s  %s\n' "target (judged on wall time)" "wall" "cpu (info)" "result"
check "data load >= 5x faster than mlr count" "$(ratio "$mlr_count_s" "$load_s")" "$mlr_count_s / $load_s >= 5" \
    "$(ratio "$mlr_count_cpu" "$load_cpu")"
check "data load peak RSS <= 300 MB" "$(fmt "$load_mb" 1) MB" "$load_mb <= 300" ""
check "base load <= 2.5x data load" "$(ratio "$base_s" "$load_s")" "$base_s / $load_s <= 2.5" "$(ratio "$base_cpu" "$load_cpu")"
check "save to one file <= 1.5x data load" "$(ratio "$save_s" "$load_s")" "$save_s / $load_s <= 1.5" "$(ratio "$save_cpu" "$load_cpu")"
check "save to one file faster than mlr cat" "$(ratio "$save_s" "$mlr_cat_s")" "$save_s < $mlr_cat_s" "$(ratio "$save_cpu" "$mlr_cat_cpu")"
check "dedup 2000 categories, 30% duplicates < 3 s" "$(fmt "$many_s" 3) s" "$many_s < 3" "$(fmt "$many_cpu" 3) s"
check "dedup 1 category, 50% duplicates < 3 s" "$(fmt "$one_s" 3) s" "$one_s < 3" "$(fmt "$one_cpu" 3) s"
check "dedup one category / many categories <= 2" "$(fmt "$dedup_ratio" 2)" "$dedup_ratio <= 2" "$(fmt "$(calc "$one_cpu / $many_cpu")" 2)"

# The base's statuses must be what the generator made: dropped rows stay
# added, repriced rows become changed, new rows become deleted.
expect_added=$(fig "$base.log" base_dropped)
expect_changed=$(fig "$base.log" base_changed)
expect_deleted=$(fig "$base.log" base_added)
got="$(fmt "$(fig "$lb" base_added)" 0)/$(fmt "$(fig "$lb" base_changed)" 0)/$(fmt "$(fig "$lb" base_deleted)" 0)"
want="$(fmt "$expect_added" 0)/$(fmt "$expect_changed" 0)/$(fmt "$expect_deleted" 0)"
check "check: base statuses $want" "$got" "\"$got\" == \"$want\"" ""
dedup_got="$(fmt "$(fig "$db" many_removed)" 0)/$(fmt "$(fig "$db" one_removed)" 0)"
dedup_want="$(fmt "$(fig "$many.log" duplicate_rows)" 0)/$(fmt "$(fig "$one.log" duplicate_rows)" 0)"
check "check: duplicates removed $dedup_want" "$dedup_got" "\"$dedup_got\" == \"$dedup_want\"" ""
[ "$rows" = 1000000 ] || echo "(the targets are set for 1,000,000 rows; this run has $rows)"

echo
echo "=== Peak memory of each run (/usr/bin/time -v, maximum resident set size) ==="
printf '%s\n' "${peaks[@]}"
echo
echo "Load average before the runs $load_before, after $load_after (2 processors)."
echo "Outputs of the runs: $runs"
[ "$failures" = 0 ] && echo "All targets met." || echo "$failures target(s) or check(s) missed."
exit 0
