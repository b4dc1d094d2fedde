#!/usr/bin/env bash
# fidmora-cli side by side with the tools a data-savvy user would pick instead
# (DuckDB's read_csv, Polars, Miller) and with the byte-scan floor (wc -l),
# each a whole process, interleaved over several rounds, on three steps:
#   load   index every row: fidmora-cli --add FEED; the peers read the feed
#          in its dialect and count the rows; wc -l counts lines
#   delta  data + base -> delta CSV: fidmora-cli --add FEED --add-base BASE
#          --save OUT with the status column; the peers do the same in SQL or
#          dataframe terms, goods keyed by url: only in the data "+", in both
#          with a common column but the category differing "~", only in the
#          base "-", identical ones dropped
#   dedup  duplicate removal + save: fidmora-cli --add FEED
#          --remove-duplicates --save OUT; the peers keep each url's first row
# and checks the targets (ratios of the minima):
#   load   >= 2x faster than DuckDB and than Polars, <= 2.5x wc -l
#   delta  >= 3x faster than DuckDB, anonymous memory <= 1/5 of DuckDB's
#   dedup  >= 1.3x faster than Polars
#
# usage: bench/peers.sh [--rows N] [--rounds N] [--build DIR] [--steps load,delta,dedup] [--seed S]
#
# --rows     rows of the generated feeds (1,000,000; the targets are set for it)
# --rounds   rounds (5): each runs every tool once on every step, in an order
#            that turns from round to round; min and median count
# --build    the Release tree with fidmora-cli and feedgen (build/, or
#            build-release/ when build/ is not a Release tree)
# --steps    the steps to run, comma-separated
#
# Every run is one process, measured by bench/peers/peers.py: wall seconds,
# user + system seconds, the exact peak of the whole resident set (the
# kernel's own high-water mark, as GNU time gives it), and the peaks of its
# anonymous part (RssAnon: the heap) and its file-backed part (RssFile:
# mapped files) sampled from /proc/PID/status every 5 ms, the kernel keeping
# no peak of either; a sampled peak is a lower bound. The node peers' runs
# include starting node and loading the peer; "(DuckDB start)" and
# "(Polars start)" measure that alone.
#
# The outputs are then checked against fidmora-cli's, row by row (a digest of
# every cell, rows compared as sets): the delta on url and status and on all
# cells, the duplicate removal on all cells. fidmora-cli keeps the first good
# of a url met in a walk of the category tree (a category's own goods before
# its subcategories), the peers the first row of the file: where the two
# differ the kept rows differ, and the check counts these urls and requires
# the peers to differ from fidmora-cli there and nowhere else. A peer whose
# rows disagree otherwise is reported with the numbers (DISAGREE) and the run
# exits 1 after printing everything.
#
# The peers live in bench/peers/: DuckDB (@duckdb/node-api) and Polars
# (nodejs-polars) installed by npm at the versions of package-lock.json
# (node 20 or later: Polars' binary package asks for node 22 and runs on 20,
# so npm's warning about it is left out); Miller and GNU time from Debian. The feeds are
# bench/compare.sh's, in bench/out/ (reused while the rows, the seed and the
# generator stay the same): a feed, a base derived from it with feedgen's
# defaults (5 % of the rows dropped: added; 5 % repriced: changed; 2 % new
# rows: deleted) and a feed with 30 % duplicate urls. Outputs go to
# bench/out/peers/. Miller keeps the whole base in memory for the delta, about
# 20 KB a row (1.8 GB for 100,000 rows): it runs the delta only up to 200,000
# rows.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
rows=1000000
rounds=5
seed=1
build=""
steps=load,delta,dedup
miller_delta_max=200000
while [ $# -gt 0 ]; do
    case "$1" in
    --rows) rows=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --steps) steps=$2; shift 2 ;;
    -h | --help) sed -n '2,57p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "peers.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
    esac
done
case "$rows$rounds$seed" in *[!0-9]*) echo "peers.sh: --rows, --rounds and --seed take numbers" >&2; exit 2 ;; esac
if [ "$rows" -eq 0 ] || [ "$rounds" -eq 0 ]; then
    echo "peers.sh: --rows and --rounds must be above 0" >&2
    exit 2
fi
IFS=, read -r -a step_list <<<"$steps"
for step in "${step_list[@]}"; do
    case "$step" in load | delta | dedup) ;; *) echo "peers.sh: unknown step $step (load, delta, dedup)" >&2; exit 2 ;; esac
done

# --- Tools ---------------------------------------------------------------------
# shellcheck source=../scripts/common.sh
. "$root/scripts/common.sh"
fidmora_install "${FIDMORA_PACKAGES[@]}" miller time
command -v python3 >/dev/null 2>&1 || fidmora_install python3
command -v npm >/dev/null 2>&1 || fidmora_install nodejs npm
node_major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$node_major" -lt 20 ]; then
    echo "peers.sh: node $(node --version) is too old for the peers; node 20 or later is needed" >&2
    exit 1
fi
peers="$here/peers"
lock_sum=$(sha1sum "$peers/package-lock.json" | cut -c1-40)
if [ "$(cat "$peers/node_modules/.fidmora-lock" 2>/dev/null)" != "$lock_sum" ]; then
    echo "Installing the peers (npm ci in bench/peers) ..."
    (cd "$peers" && npm ci --no-audit --no-fund --loglevel=error)
    echo "$lock_sum" >"$peers/node_modules/.fidmora-lock"
fi

# --- Build (Release) -------------------------------------------------------------
if [ -z "$build" ]; then
    build="$root/build"
    if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
        build="$root/build-release"
    fi
fi
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
echo "Building fidmora-cli and feedgen in $build ..."
cmake --build "$build" -j2 --target fidmora-cli feedgen >/dev/null
cli="$build/cli/fidmora-cli"
feedgen="$build/bench/feedgen"

# --- Feeds (shared with compare.sh) ------------------------------------------------
out="$here/out"
mkdir -p "$out"
stamp="rows=$rows seed=$seed generator=$(sha1sum "$here/feedgen.cpp" | cut -c1-12)"
feed="$out/feed-$rows-s$seed.csv"
base="$out/base-$rows-s$seed.csv"
many="$out/dedup-many-$rows-s$seed.csv"

# generate FILE feedgen-arguments...: runs the generator unless FILE was made
# by the same generator with the same arguments; its output goes to FILE.log.
generate() {
    local file=$1
    shift
    local want="$stamp args=$*"
    if [ -f "$file" ] && [ -f "$file.log" ] && [ "$(head -n1 "$file.log")" = "$want" ]; then
        echo "Reusing $(basename "$file")"
        return
    fi
    echo "Generating $(basename "$file") ..."
    rm -f "$file" "$file.log"
    local log
    log=$("$feedgen" "$@" --seed "$seed" --out "$file")
    printf '%s\n%s\n' "$want" "$log" >"$file.log"
    grep -v '^FIGURE' <<<"$log"
}
generate "$feed" --rows "$rows"
generate "$base" --base-from "$feed"
generate "$many" --rows "$rows" --categories 2000 --duplicates 0.3

runs="$out/peers"
rm -rf "$runs"
mkdir -p "$runs"
results="$runs/results.tsv"
: >"$results"

# The delta's columns: the status, then the feed's own.
columns="status,$(head -n1 "$feed" | tr -d '\r' | tr ';' ',')"
miller_delta=1
[ "$rows" -gt "$miller_delta_max" ] && miller_delta=0

# command_for STEP TOOL: sets CMD to the tool's command for the step and OUTFILE
# to the file it writes (empty when it writes none); returns 1 when the tool
# takes no part in the step.
command_for() {
    local step=$1 tool=$2
    OUTFILE=""
    case "$step:$tool" in
    load:fidmora) CMD=("$cli" --quiet --add "$feed") ;;
    load:duckdb) CMD=(node "$peers/duckdb.mjs" load "$feed") ;;
    load:polars) CMD=(node "$peers/polars.mjs" load "$feed") ;;
    load:miller) CMD=(mlr --icsv --ifs ';' count "$feed") ;;
    load:wc) CMD=(wc -l "$feed") ;;
    load:duckdb-start) CMD=(node "$peers/duckdb.mjs" start) ;;
    load:polars-start) CMD=(node "$peers/polars.mjs" start) ;;
    delta:fidmora) OUTFILE="$runs/delta-fidmora.csv"
        CMD=("$cli" --quiet --add "$feed" --add-base "$base" --columns "$columns" --save "$OUTFILE") ;;
    delta:duckdb) OUTFILE="$runs/delta-duckdb.csv"; CMD=(node "$peers/duckdb.mjs" delta "$feed" "$base" "$OUTFILE") ;;
    delta:polars) OUTFILE="$runs/delta-polars.csv"; CMD=(node "$peers/polars.mjs" delta "$feed" "$base" "$OUTFILE") ;;
    delta:miller)
        [ "$miller_delta" = 1 ] || return 1
        OUTFILE="$runs/delta-miller.csv"
        CMD=(bash -c 'exec mlr -S --csv --fs ";" put -q -f "$1" "$2" "$3" >"$4"' _ "$peers/delta.mlr" "$base" "$feed" "$OUTFILE") ;;
    dedup:fidmora) OUTFILE="$runs/dedup-fidmora.csv"; CMD=("$cli" --quiet --add "$many" --remove-duplicates --save "$OUTFILE") ;;
    dedup:duckdb) OUTFILE="$runs/dedup-duckdb.csv"; CMD=(node "$peers/duckdb.mjs" dedup "$many" "$OUTFILE") ;;
    dedup:polars) OUTFILE="$runs/dedup-polars.csv"; CMD=(node "$peers/polars.mjs" dedup "$many" "$OUTFILE") ;;
    dedup:miller) OUTFILE="$runs/dedup-miller.csv"
        CMD=(bash -c 'exec mlr --csv --fs ";" head -n 1 -g url "$1" >"$2"' _ "$many" "$OUTFILE") ;;
    *) return 1 ;;
    esac
}
tools_of() {
    case "$1" in
    load) echo fidmora duckdb polars miller wc duckdb-start polars-start ;;
    *) echo fidmora duckdb polars miller ;;
    esac
}

# --- Runs ------------------------------------------------------------------------
echo
echo "Feeds: $(basename "$feed") ($(du -m "$feed" | cut -f1) MB), $(basename "$base") ($(du -m "$base" | cut -f1) MB), $(basename "$many") ($(du -m "$many" | cut -f1) MB)"
echo "Peers: DuckDB $(node -p 'require("'"$peers"'/node_modules/@duckdb/node-api/package.json").version'), nodejs-polars $(node -p 'require("'"$peers"'/node_modules/nodejs-polars/package.json").version'), $(mlr --version), node $(node --version)"
[ "$miller_delta" = 1 ] || echo "Miller sits out the delta above $miller_delta_max rows (it would hold the whole base in memory, about 20 KB a row)."
load_before=$(cut -d' ' -f1 /proc/loadavg)
echo "Load average before the runs: $load_before ($(nproc) processors); $rounds rounds of steps $steps, $rows rows."
awk "BEGIN { exit !($load_before > 0.5) }" &&
    echo "Note: other processes compete for the processors; wall-clock figures are worse than on a quiet machine."
sync
cat "$feed" "$base" "$many" >/dev/null

for ((round = 1; round <= rounds; round++)); do
    echo "Round $round of $rounds ..."
    for step in "${step_list[@]}"; do
        read -r -a tools <<<"$(tools_of "$step")"
        n=${#tools[@]}
        for ((i = 0; i < n; i++)); do
            tool=${tools[$(((i + round - 1) % n))]}
            command_for "$step" "$tool" || continue
            [ -n "$OUTFILE" ] && rm -f "$OUTFILE"
            # What earlier runs wrote is flushed first, so that no run pays
            # for another's write-back.
            sync
            python3 "$peers/peers.py" measure "$results" "$step" "$tool" "$round" "$runs/$step-$tool.out" -- "${CMD[@]}"
        done
    done
done
load_after=$(cut -d' ' -f1 /proc/loadavg)

# --- Checks ----------------------------------------------------------------------
disagree=0
echo
echo "=== Agreement ==="
if [[ ",$steps," == *,load,* ]]; then
    expected=$(awk '$1 == "FIGURE" && $2 == "rows" { printf "%d", $3 }' "$feed.log")
    goods=$("$cli" --quiet --add "$feed" --summary | awk '$1 == "goods" { print $2 }')
    counted="fidmora-cli $goods (--summary, a run of its own), DuckDB $(cat "$runs/load-duckdb.out"), Polars $(cat "$runs/load-polars.out"), Miller $(sed -n 's/^count=//p' "$runs/load-miller.out")"
    if [ "$counted" = "fidmora-cli $expected (--summary, a run of its own), DuckDB $expected, Polars $expected, Miller $expected" ]; then
        echo "AGREE    load: rows counted: $counted; the generator wrote $expected"
    else
        echo "DISAGREE load: rows counted: $counted; the generator wrote $expected"
        disagree=$((disagree + 1))
    fi
    echo "         (wc -l counts $(awk '{ print $1 }' "$runs/load-wc.out") lines: rows and the line breaks inside quoted cells)"
fi
if [[ ",$steps," == *,delta,* ]]; then
    others=(duckdb="$runs/delta-duckdb.csv" polars="$runs/delta-polars.csv")
    [ "$miller_delta" = 1 ] && others+=(miller="$runs/delta-miller.csv")
    python3 "$peers/peers.py" agree-delta "$base.log" "$runs/delta-fidmora.csv" "${others[@]}" || disagree=$((disagree + 1))
fi
if [[ ",$steps," == *,dedup,* ]]; then
    python3 "$peers/peers.py" agree-dedup "$many" "$runs/dedup-fidmora.csv" duckdb="$runs/dedup-duckdb.csv" \
        polars="$runs/dedup-polars.csv" miller="$runs/dedup-miller.csv" || disagree=$((disagree + 1))
fi

# --- Report ----------------------------------------------------------------------
python3 "$peers/peers.py" report "$results" "$steps"
[ "$rows" = 1000000 ] || echo "(the targets are set for 1,000,000 rows; this run has $rows)"
echo
echo "Load average before the runs $load_before, after $load_after ($(nproc) processors). Runs and outputs: $runs"
if [ "$disagree" -gt 0 ]; then
    echo "Outputs disagree in $disagree check(s): see the DISAGREE lines above."
    exit 1
fi
echo "Every tool's output agrees with fidmora-cli's."
