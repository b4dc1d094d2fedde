#!/usr/bin/env bash
# Times fidmora-cli on a large feed and its base, side by side with Python's
# csv module and Miller on the same files, and checks the targets:
#   data load     at least 5 times faster than `mlr count`
#   base load     (the --add-base step alone) at most 2.5 times the data load
#   save          (the --save step alone) at most 1.5 times the data load, and
#                 the whole load-and-save run faster than `mlr cat`
#   memory        peak resident size of the data load at most 300 MB
# A step alone is the time of the run with it less the time of the data load.
# Each command runs --runs times; the best wall time counts.
#
# The feed and its base come from build/bench/feedgen (FEEDGEN=path to use
# another) and are kept in bench/out/ for the next run; without feedgen a
# stand-in generator makes them, which is good for trying the script only.
#
# Usage: bench/cli_compare.sh [--rows N] [--runs N] [--build DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

rows=1000000
runs=3
build=build
while [ $# -gt 0 ]; do
    case "$1" in
        --rows) rows=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "cli_compare.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
    esac
done
case "$rows$runs" in *[!0-9]*) echo "cli_compare.sh: --rows and --runs take numbers" >&2; exit 2 ;; esac

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" != 0 ] && sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
install_missing miller time python3

cli=$build/cli/fidmora-cli
if [ ! -x "$cli" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j2 --target fidmora-cli
fi

out=bench/out
mkdir -p "$out"
feedgen=${FEEDGEN:-$build/bench/feedgen}
if [ -x "$feedgen" ]; then
    feed=$out/feed-$rows.csv
    base=$out/base-$rows.csv
    if [ ! -s "$feed" ] || [ ! -s "$base" ]; then
        echo "Generating $feed and $base with $feedgen ..."
        "$feedgen" --rows "$rows" --out "$feed"
        "$feedgen" --base-from "$feed" --out "$base"
    fi
else
    echo "NOTE: $feedgen is not built; a stand-in generator makes the files. Use its numbers to try the script only."
    feed=$out/standin-feed-$rows.csv
    base=$out/standin-base-$rows.csv
    if [ ! -s "$feed" ] || [ ! -s "$base" ]; then
        python3 - "$rows" "$feed" "$base" <<'PY'
import random, sys
rows, feed, base = int(sys.argv[1]), sys.argv[2], sys.argv[3]
rng = random.Random(7)
head = "id;name;price;oldprice;categoryId;vendor;url;description;advcampaign_name\r\n"
def row(i):
    price = rng.randrange(100, 100000)
    old = str(price + rng.randrange(1, 5000)) if rng.random() < 0.3 else ""
    shop = "Shop %d" % (i % 3)
    return [str(i), "Товар %d" % i, str(price), old,
            "Раздел %d/Подраздел %d" % (i % 40, i % 400), "Марка %d" % (i % 500),
            "https://shop%d.example/p/%d" % (i % 3, i), "Описание товара %d" % i, shop]
with open(feed, "w", encoding="utf-8", newline="") as f, open(base, "w", encoding="utf-8", newline="") as b:
    f.write(head); b.write(head)
    for i in range(rows):
        r = row(i)
        f.write(";".join(r) + "\r\n")
        x = rng.random()
        if x < 0.05:
            continue
        if x < 0.10:
            r[2] = str(int(r[2]) + 1)
        b.write(";".join(r) + "\r\n")
    for i in range(rows, rows + rows // 50):
        b.write(";".join(row(i)) + "\r\n")
PY
    fi
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
saved=$out/cli-save.csv

declare -A wall mem
order=()
# measure NAME STDOUT-FILE COMMAND...: best wall time in seconds and peak
# resident size in MB over the runs.
measure() {
    local name=$1 target=$2
    shift 2
    local best="" peak=0 i start end seconds kb
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        if ! /usr/bin/time -v -o "$tmp/time" "$@" >"$target" 2>"$tmp/stderr"; then
            echo "FAILED: $*" >&2
            cat "$tmp/stderr" >&2
            exit 1
        fi
        end=$(date +%s%N)
        seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
        kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$tmp/time")
        if [ -z "$best" ] || awk -v s="$seconds" -v b="$best" 'BEGIN { exit !(s < b) }'; then
            best=$seconds
        fi
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    wall[$name]=$best
    mem[$name]=$(awk -v k="$peak" 'BEGIN { printf "%.0f", k / 1024 }')
    order+=("$name")
}

echo "Feed: $feed ($(du -h "$feed" | cut -f1)); base: $base ($(du -h "$base" | cut -f1))"
echo "Best of $runs runs each; $(nproc) cores."
echo

measure "fidmora-cli --add FEED --summary" "$tmp/summary-data" "$cli" --quiet --add "$feed" --summary
measure "fidmora-cli --add FEED --add-base BASE --summary" "$tmp/summary-base" \
    "$cli" --quiet --add "$feed" --add-base "$base" --summary
measure "fidmora-cli --add FEED --save OUT" /dev/null "$cli" --quiet --add "$feed" --save "$saved"
measure "python3 csv: count rows" "$tmp/py-count" python3 -c '
import csv, sys
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    print(sum(1 for _ in csv.reader(f, delimiter=";")) - 1)' "$feed"
measure "python3 csv: read and write" "$out/py-copy.csv" python3 -c '
import csv, sys
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    csv.writer(sys.stdout, delimiter=";", lineterminator="\r\n").writerows(csv.reader(f, delimiter=";"))' "$feed"
measure "mlr --icsv --ifs ';' count" "$tmp/mlr-count" mlr --icsv --ifs ';' count "$feed"
measure "mlr --csv --fs ';' cat" "$out/mlr-cat.csv" mlr --csv --fs ';' cat "$feed"

printf '%-52s %9s %9s\n' "command" "wall, s" "peak, MB"
for name in "${order[@]}"; do
    printf '%-52s %9s %9s\n' "$name" "${wall[$name]}" "${mem[$name]}"
done

load=${wall["fidmora-cli --add FEED --summary"]}
with_base=${wall["fidmora-cli --add FEED --add-base BASE --summary"]}
with_save=${wall["fidmora-cli --add FEED --save OUT"]}
base_alone=$(awk -v a="$with_base" -v b="$load" 'BEGIN { printf "%.3f", a - b }')
save_alone=$(awk -v a="$with_save" -v b="$load" 'BEGIN { printf "%.3f", a - b }')
printf '%-52s %9s\n' "  --add-base step alone" "$base_alone" "  --save step alone" "$save_alone"
echo
echo "fidmora-cli summary of the data load:  $(tr '\n' ' ' <"$tmp/summary-data")"
echo "fidmora-cli summary with the base:     $(tr '\n' ' ' <"$tmp/summary-base")"
echo "Rows counted by Python: $(cat "$tmp/py-count"); by Miller: $(tr '\n' ' ' <"$tmp/mlr-count")"
echo

missed=0
# check TEXT VALUE RELATION GOAL UNIT: prints one line of the targets table.
check() {
    local text=$1 value=$2 relation=$3 goal=$4 unit=$5 verdict
    if awk -v v="$value" -v g="$goal" -v r="$relation" \
        'BEGIN { exit !((r == ">=" && v >= g) || (r == "<=" && v <= g) || (r == ">" && v > g)) }'; then
        verdict=met
    else
        verdict=MISSED
        missed=$((missed + 1))
    fi
    printf '%-52s %8s%-3s %3s %5s%-3s %s\n' "$text" "$value" "$unit" "$relation" "$goal" "$unit" "$verdict"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

printf '%-52s %11s %9s    %s\n' "target" "measured" "goal" "result"
check "data load: times faster than mlr count" "$(ratio "${wall["mlr --icsv --ifs ';' count"]}" "$load")" ">=" 5 x
check "base load (step alone) / data load" "$(ratio "$base_alone" "$load")" "<=" 2.5 x
check "save (step alone) / data load" "$(ratio "$save_alone" "$load")" "<=" 1.5 x
check "load and save: times faster than mlr cat" "$(ratio "${wall["mlr --csv --fs ';' cat"]}" "$with_save")" ">" 1 x
check "peak memory of the data load" "${mem["fidmora-cli --add FEED --summary"]}" "<=" 300 MB
echo
echo "Whole runs: with base $(ratio "$with_base" "$load")x, with save $(ratio "$with_save" "$load")x the data load."
if [ "$missed" -gt 0 ]; then
    echo "$missed target(s) missed."
else
    echo "All targets met."
fi
