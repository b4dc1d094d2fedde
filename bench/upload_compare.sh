#!/usr/bin/env bash
# Times the catalogue's upload of the whole export against curl sending the
# same file to the same local FTP server (pyftpdlib on 127.0.0.1), side by
# side, and checks the targets:
#   speed:   our upload <= 1.2x curl's
#   memory:  peak memory of the upload <= 50 MB beyond the loaded catalogue
#
# usage: bench/upload_compare.sh [--rows N] [--seed S] [--rounds R]
#
# The feed is the one compare.sh uses (bench/out/, reused while the rows, the
# seed and the generator stay the same); the export is saved next to it.
# The rounds alternate between the sides; the best of R rounds counts for
# each (default 5).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
rows=1000000
seed=1
rounds=5
while [ $# -gt 0 ]; do
    case "$1" in
    --rows) rows=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    -h | --help) sed -n '2,14p' "$0"; exit 0 ;;
    *) echo "upload_compare.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

# shellcheck source=../scripts/common.sh
. "$root/scripts/common.sh"
fidmora_install "${FIDMORA_PACKAGES[@]}" "${FIDMORA_TEST_PACKAGES[@]}" curl

build="$root/build"
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
    build="$root/build-release"
fi
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
echo "Building in $build ..."
cmake --build "$build" -j2 --target feedgen uploadbench >/dev/null
bin="$build/bench"

out="$here/out"
mkdir -p "$out"
feed="$out/feed-$rows-s$seed.csv"
stamp="rows=$rows seed=$seed generator=$(sha1sum "$here/feedgen.cpp" | cut -c1-12) args=--rows $rows"
if [ -f "$feed" ] && [ -f "$feed.log" ] && [ "$(head -n1 "$feed.log")" = "$stamp" ]; then
    echo "Reusing $(basename "$feed")"
else
    echo "Generating $(basename "$feed") ..."
    rm -f "$feed" "$feed.log"
    log=$("$bin/feedgen" --rows "$rows" --seed "$seed" --out "$feed")
    printf '%s\n%s\n' "$stamp" "$log" >"$feed.log"
fi
export_file="$out/upload-export-$rows-s$seed.csv"

# The server: its files in a folder of this run (in memory when there is
# room, so that neither side waits for the disk), a password of this run,
# which reaches our program through the environment and curl through a
# netrc file, never through a command line.
size=$(stat -c %s "$export_file" 2>/dev/null || echo 1000000000)
if [ -d /dev/shm ] && [ "$(df -B1 --output=avail /dev/shm | tail -n1)" -gt $((size * 3)) ]; then
    work=$(mktemp -d /dev/shm/fidmora-upload.XXXXXX)
else
    work=$(mktemp -d)
fi
server_pid=
cleanup() {
    local status=$?
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
mkdir -p "$work/root"
password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
/usr/bin/python3 "$root/tests/servers/ftpserver.py" --root "$work/root" --user bench --password "$password" \
    >"$work/port" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
    [ -s "$work/port" ] && break
    sleep 0.1
done
port=$(head -n1 "$work/port")
[ -n "$port" ] || { echo "upload_compare.sh: the FTP server did not start:" >&2; cat "$work/server.err" >&2; exit 1; }
printf 'machine 127.0.0.1 login bench password %s\n' "$password" >"$work/netrc"
chmod 600 "$work/netrc"

fig() { awk -v k="$2" '$1 == "FIGURE" && $2 == k { print $3; exit }' "$1"; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
min() { if [ -z "$1" ] || awk "BEGIN { exit !($2 < $1) }"; then echo "$2"; else echo "$1"; fi; }

load_before=$(cut -d' ' -f1 /proc/loadavg)
echo "Load average before the runs: $load_before (the server is one Python process: other work on the"
echo "processors slows both sides; the best of the rounds counts)."

# The rounds alternate between the two sides, so that a busy moment of
# the machine does not fall on one side only. Each of our rounds loads the
# catalogue again: the memory figure is the upload's beyond it.
best_ours=
best_curl=
extra_kb=0
for round in $(seq "$rounds"); do
    FIDMORA_FTP_PASSWORD=$password "$bin/uploadbench" "$feed" "ftp://bench@127.0.0.1:$port/" \
        --export "$export_file" --reuse-export --rounds 1 >"$work/ours.out"
    rm -f "$work"/root/uploadbench-*.csv
    s=$(fig "$work/ours.out" upload_seconds)
    bytes=$(fig "$work/ours.out" export_bytes)
    kb=$(fig "$work/ours.out" upload_extra_kb)
    extra_kb=$(awk -v a="$extra_kb" -v b="$kb" 'BEGIN { print (b > a ? b : a) }')
    best_ours=$(min "$best_ours" "$s")
    printf 'round %d: Fidmora %.2f s (%.0f MB/s, %.1f MB beyond the catalogue)' "$round" "$s" \
        "$(calc "$bytes / 1000000 / $s")" "$(calc "$kb / 1024")"

    sync
    start=$(date +%s.%N)
    curl -sS --netrc-file "$work/netrc" -T "$export_file" "ftp://127.0.0.1:$port/curl.csv"
    end=$(date +%s.%N)
    rm -f "$work/root/curl.csv"
    s=$(calc "$end - $start")
    best_curl=$(min "$best_curl" "$s")
    printf ', curl -T %.2f s (%.0f MB/s)\n' "$s" "$(calc "$bytes / 1000000 / $s")"
done

ratio=$(calc "$best_ours / $best_curl")
extra_mb=$(calc "$extra_kb / 1024")
verdict() { awk "BEGIN { exit !($1) }" && echo PASS || echo FAIL; }
echo
printf 'Upload of %.1f MB to pyftpdlib on 127.0.0.1 (best of %d rounds):\n' "$(calc "$bytes / 1000000")" "$rounds"
printf '  %-34s %8.2f s  %6.0f MB/s\n' "Fidmora (FtpUploader)" "$best_ours" "$(calc "$bytes / 1000000 / $best_ours")"
printf '  %-34s %8.2f s  %6.0f MB/s\n' "curl -T" "$best_curl" "$(calc "$bytes / 1000000 / $best_curl")"
printf '  %-34s %8.2f x   target <= 1.2   %s\n' "Fidmora / curl" "$ratio" "$(verdict "$ratio <= 1.2")"
printf '  %-34s %8.1f MB  target <= 50    %s\n' "peak memory beyond the catalogue" "$extra_mb" \
    "$(verdict "$extra_mb <= 50")"
