#!/usr/bin/env bash
# The past-log walk over the replacement service's thread of 1,000,000 comments (sm19), 1,000 comments a
# request and no wait between requests, through `quippet comments --past-logs`. Prints the wall time, the
# program's CPU time (user + system: what it spent beyond waiting for the answers), its peak RSS, the size of
# the file it wrote and the ratio of the two. Everything goes to a scratch folder that is removed at the end.
#   bench/comment_walk.sh [BUILD_DIR] [VIDEO_ID]     (default build-release if built, else build; sm19)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
video=${2:-sm19}
if [ -z "$build" ]; then
    build=$root/build-release
    [ -x "$build/quippet" ] || build=$root/build
fi
quippet=$build/quippet
service=$build/tests/fakeservice/quippet_fakeservice
[ -x "$service" ] || service=$root/build/tests/fakeservice/quippet_fakeservice
for tool in "$quippet" "$service" /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "comment_walk: $tool is missing (build first)" >&2; exit 1; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quippet-walkbench.XXXXXX")
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
mkdir -p "$scratch/home" "$scratch/out"
# The service's one account, as a browser would have left its cookie in the shared store.
printf '127.0.0.1\tFALSE\t/\tFALSE\t0\tuser_session\tuser_session_12345_0123456789abcdef0123456789abcdef\n' \
    >"$scratch/home/cookies.txt"
chmod 600 "$scratch/home/cookies.txt"

start=$(date +%s.%N)
/usr/bin/time -v -o "$scratch/time" "$quippet" --home "$scratch/home" --service-root "http://127.0.0.1:$http_port" \
    comments --set OptionDialog/EN19=1 --set OptionDialog/EN23=1000 --set OptionDialog/EN24=0 \
    --past-logs --folder "$scratch/out" "$video" >"$scratch/result"
end=$(date +%s.%N)
file=$(cut -f4 "$scratch/result")
[ -n "$file" ] && [ -f "$file" ] || { echo "comment_walk: nothing saved: $(cat "$scratch/result")" >&2; exit 1; }
size=$(stat -c %s "$file")
comments=$(grep -o '<chat ' "$file" | wc -l)
user=$(grep 'User time' "$scratch/time" | awk '{print $NF}')
sys=$(grep 'System time' "$scratch/time" | awk '{print $NF}')
rss_kib=$(grep 'Maximum resident' "$scratch/time" | awk '{print $NF}')
printf 'comments          %d\n' "$comments"
printf 'wall s            %.2f\n' "$(echo "$end - $start" | bc -l)"
printf 'CPU s (user+sys)  %.2f\n' "$(echo "$user + $sys" | bc -l)"
printf 'peak RSS MiB      %.1f\n' "$(echo "$rss_kib / 1024" | bc -l)"
printf 'file MiB          %.1f\n' "$(echo "$size / 1048576" | bc -l)"
printf 'RSS / file        %.2f\n' "$(echo "$rss_kib * 1024 / $size" | bc -l)"
