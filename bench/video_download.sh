#!/usr/bin/env bash
# Video download from the replacement service on loopback through the program's whole video path
# (`quippet video`: information, delivery session, heartbeats, progress, the copy with its resume search,
# the final check and rename) beside `curl -o` of a session's content URI, then four videos at once
# ("動画を同時にDLする本数：" 4) beside four curls at once. Prints throughput and peak RSS. The videos are made by
# the service and written to a scratch folder (default under /dev/shm) that is removed at the end.
#   bench/video_download.sh [SIZE_MIB] [BUILD_DIR]     (default 1024 MiB, build-release if built, else build)
# QUIPPET_BENCH_RUNS (default 3) runs of each, interleaved, the best counting; QUIPPET_BENCH_DIR the scratch base.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-1024}
build=${2:-}
if [ -z "$build" ]; then
    build=$root/build-release
    [ -x "$build/quippet" ] || build=$root/build
fi
quippet=$build/quippet
service=$build/tests/fakeservice/quippet_fakeservice
# The release flavour builds no tests; the service of the default build serves it then.
[ -x "$service" ] || service=$root/build/tests/fakeservice/quippet_fakeservice
for tool in "$quippet" "$service" /usr/bin/time curl bc; do
    command -v "$tool" >/dev/null || { echo "video_download: $tool is missing (build first)" >&2; exit 1; }
done
[ "$mib" -ge 4 ] && [ "$mib" -le 4096 ] || { echo "video_download: SIZE_MIB must be 4 to 4096" >&2; exit 2; }

base=${QUIPPET_BENCH_DIR:-/dev/shm}
[ -d "$base" ] || base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$base/quippet-videobench.XXXXXX")
service_pid=
cleanup() {
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
"$service" --port 0 --state-dir "$scratch" --max-seconds 3600 >"$scratch/ports" &
service_pid=$!
for _ in $(seq 100); do [ "$(wc -l <"$scratch/ports")" -ge 3 ] && break; sleep 0.1; done
port=$(sed -n 1p "$scratch/ports")
service_root=http://127.0.0.1:$port
mkdir -p "$scratch/home" "$scratch/ours" "$scratch/curl"

# sm20000000 + M is a video of exactly M MiB; four at once are four videos of about the same size.
one=sm$((20000000 + mib))
four=()
for i in 0 1 2 3; do four+=("sm$((20000000 + mib - i))"); done
bytes_of() { # ids -> their total size
    local total=0 id
    for id in "$@"; do total=$((total + (${id#sm} - 20000000) * 1048576)); done
    echo "$total"
}

# The program: no proxy, no waits between attempts, no free-space margin; N videos at once.
ours() { # parallel ids... -> the command line
    local parallel=$1
    shift
    echo env QUIPPET_SERVICE_ROOT="$service_root" no_proxy=127.0.0.1 "$quippet" --home "$scratch/home" video \
        --set OptionDialog/EN19=1 --set OptionDialog/EN37=0 --set OptionDialog/EN34=0 \
        --set "OptionDialog/EN36=$parallel" --out-dir "$scratch/ours" "$@"
}
# curl: a session of its own for each video (one small POST), then `curl -o` of its content URI, all at once.
export service_root scratch
theirs='
for id in "$@"; do
    (
        uri=$(curl -s --noproxy "*" -X POST -H "Content-type: application/json" \
            --data "{\"session\":{\"recipe_id\":\"nicovideo-$id\"}}" "$service_root/api/sessions?_format=json" |
            sed -n "s/.*\"content_uri\":\"\([^\"]*\)\".*/\1/p")
        [ -n "$uri" ] || { echo "video_download: no session for $id" >&2; exit 1; }
        exec curl -s --noproxy "*" -o "$scratch/curl/$id" "$uri"
    ) &
done
wait
'

# One run: "seconds peak_kib"; checks the bytes written and removes them.
measure() {
    local dir=$1 expect=$2
    shift 2
    rm -rf "${dir:?}"/*
    local start end got
    start=$(date +%s.%N)
    /usr/bin/time -v -o "$scratch/time" "$@" >/dev/null 2>"$scratch/stderr" || {
        cat "$scratch/stderr" >&2
        exit 1
    }
    end=$(date +%s.%N)
    got=$(find "$dir" -type f -printf '%s\n' | paste -sd+ - | bc)
    got=${got:-0}
    [ "$got" -eq "$expect" ] || { echo "video_download: $dir holds $got bytes, not $expect" >&2; exit 1; }
    rm -rf "${dir:?}"/*
    echo "$(echo "$end - $start" | bc -l) $(grep 'Maximum resident' "$scratch/time" | awk '{print $NF}')"
}

runs=${QUIPPET_BENCH_RUNS:-3}
printf '%-10s %-8s %10s %14s\n' case client "MiB/s" "peak RSS MiB"
for case in one four; do
    if [ "$case" = one ]; then ids=("$one") parallel=1; else ids=("${four[@]}") parallel=4; fi
    total=$(bytes_of "${ids[@]}")
    : >"$scratch/ours.runs"
    : >"$scratch/curl.runs"
    for _ in $(seq "$runs"); do
        # shellcheck disable=SC2046 # the words of the command line, which holds no blanks of its own
        measure "$scratch/ours" "$total" $(ours "$parallel" "${ids[@]}") >>"$scratch/ours.runs"
        measure "$scratch/curl" "$total" bash -c "$theirs" theirs "${ids[@]}" >>"$scratch/curl.runs"
    done
    read -r t_ours _ < <(sort -g "$scratch/ours.runs" | head -1)
    read -r t_curl _ < <(sort -g "$scratch/curl.runs" | head -1)
    rss_ours=$(awk '{print $2}' "$scratch/ours.runs" | sort -n | tail -1)
    rss_curl=$(awk '{print $2}' "$scratch/curl.runs" | sort -n | tail -1)
    total_mib=$(echo "$total / 1048576" | bc -l)
    r_ours=$(echo "$total_mib / $t_ours" | bc -l)
    r_curl=$(echo "$total_mib / $t_curl" | bc -l)
    label="$case(${#ids[@]})"
    printf '%-10s %-8s %10.0f %14.1f\n' "$label" quippet "$r_ours" "$(echo "$rss_ours / 1024" | bc -l)"
    printf '%-10s %-8s %10.0f %14.1f\n' "$label" curl "$r_curl" "$(echo "$rss_curl / 1024" | bc -l)"
    printf '%-10s ratio    %9.1f%%\n' "$label" "$(echo "100 * $r_ours / $r_curl" | bc -l)"
done
