#!/usr/bin/env bash
# Download of a generated file from the replacement service on loopback: the program's client
# (`quippet fetch --out`, which goes through CNet::download_to_file) beside `curl -o` of the same URL, plain
# and over TLS. Prints throughput and peak RSS of each. Nothing is kept: the bytes are made by the service
# and the downloads go to a scratch folder that is removed at the end.
#   bench/net_download.sh [SIZE_BYTES] [BUILD_DIR]     (default 1 GiB, build-release if built, else build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=${1:-1073741824}
build=${2:-}
if [ -z "$build" ]; then
    build=$root/build-release
    [ -x "$build/quippet" ] || build=$root/build
fi
quippet=$build/quippet
service=$build/tests/fakeservice/quippet_fakeservice
# The release flavour builds no tests; the service of the default build serves it then.
[ -x "$service" ] || service=$root/build/tests/fakeservice/quippet_fakeservice
for tool in "$quippet" "$service" /usr/bin/time curl; do
    command -v "$tool" >/dev/null || { echo "net_download: $tool is missing (build first)" >&2; exit 1; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quippet-netbench.XXXXXX")
service_pid=
cleanup() {
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
"$service" --port 0 --state-dir "$scratch" --max-seconds 3600 >"$scratch/ports" &
service_pid=$!
for _ in $(seq 100); do [ "$(wc -l <"$scratch/ports")" -ge 3 ] && break; sleep 0.1; done
http_port=$(sed -n 1p "$scratch/ports")
https_port=$(sed -n 2p "$scratch/ports" | cut -d' ' -f2)
mkdir -p "$scratch/home"

# One run: prints "seconds peak_kib" for the command, checks the size of what it wrote.
measure() {
    local out=$1
    shift
    rm -f "$out"
    local start end
    start=$(date +%s.%N)
    /usr/bin/time -v -o "$scratch/time" "$@" >/dev/null
    end=$(date +%s.%N)
    local got
    got=$(stat -c %s "$out")
    [ "$got" -eq "$size" ] || { echo "net_download: $out has $got bytes, not $size" >&2; exit 1; }
    rm -f "$out"
    echo "$(echo "$end - $start" | bc -l) $(grep 'Maximum resident' "$scratch/time" | awk '{print $NF}')"
}

# The machine may be busy with other work: each client runs three times, interleaved, and its best run counts.
runs=${QUIPPET_BENCH_RUNS:-3}
best() { # "seconds rss" lines on stdin -> the fastest line
    sort -g | head -1
}
printf '%-6s %-8s %12s %14s\n' scheme client "MiB/s" "peak RSS MiB"
for scheme in http https; do
    port=$http_port
    [ "$scheme" = https ] && port=$https_port
    url=$scheme://127.0.0.1:$port/bytes/$size
    : >"$scratch/ours.runs"
    : >"$scratch/curl.runs"
    for _ in $(seq "$runs"); do
        measure "$scratch/ours.bin" env QUIPPET_CA_FILE="$scratch/ca.pem" no_proxy=127.0.0.1 \
            "$quippet" --home "$scratch/home" fetch --out "$scratch/ours.bin" "$url" >>"$scratch/ours.runs"
        measure "$scratch/curl.bin" curl -s --noproxy '*' --cacert "$scratch/ca.pem" -o "$scratch/curl.bin" "$url" \
            >>"$scratch/curl.runs"
    done
    read -r t_ours rss_ours < <(best <"$scratch/ours.runs")
    read -r t_curl rss_curl < <(best <"$scratch/curl.runs")
    rss_ours=$(awk '{print $2}' "$scratch/ours.runs" | sort -n | tail -1)
    rss_curl=$(awk '{print $2}' "$scratch/curl.runs" | sort -n | tail -1)
    mib=$(echo "$size / 1048576" | bc -l)
    ours=$(echo "$mib / $t_ours" | bc -l)
    theirs=$(echo "$mib / $t_curl" | bc -l)
    printf '%-6s %-8s %12.0f %14.1f\n' "$scheme" quippet "$ours" "$(echo "$rss_ours / 1024" | bc -l)"
    printf '%-6s %-8s %12.0f %14.1f\n' "$scheme" curl "$theirs" "$(echo "$rss_curl / 1024" | bc -l)"
    printf '%-6s ratio    %11.1f%%\n' "$scheme" "$(echo "100 * $ours / $theirs" | bc -l)"
done
