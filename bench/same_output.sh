#!/usr/bin/env bash
# Runs the offline jobs of two quippet binaries on the same inputs and diffs every file they write and
# everything they print (the elapsed times masked). Exit 0 when all outputs are byte-identical.
#   bench/same_output.sh OLD NEW [GEN]
# GEN (quippet_bench_gen) adds generated inputs: a 100,000-comment file and a 20,000-post live log
# (SAME_OUTPUT_SIZE and SAME_OUTPUT_POSTS change the sizes). SAME_OUTPUT_KEEP=1 keeps the work folder.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: bench/same_output.sh OLD NEW [GEN]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
old=$(realpath "$1")
new=$(realpath "$2")
gen=${3:+$(realpath "$3")}
work=$(mktemp -d "${TMPDIR:-/tmp}/quippet-same.XXXXXX")
[ "${SAME_OUTPUT_KEEP:-0}" = 1 ] && echo "work folder: $work" || trap 'rm -rf "$work"' EXIT

inputs=$work/inputs
mkdir -p "$inputs/livelog"
cp "$root"/samples/*.xml "$inputs/"
cp "$root"/samples/livelog/*.txt "$inputs/livelog/"
if [ -n "$gen" ]; then
    "$gen" comments "${SAME_OUTPUT_SIZE:-100000}" "$inputs/generated.xml"
    "$gen" livelog "${SAME_OUTPUT_POSTS:-20000}" "$inputs/livelog/generated.txt"
fi

full=(--set DividingDriver/CB52=1 --set DividingDriver/CB54=1 --set DividingDriver/EN74=80
      --set DividingDriver/CB58=1 --set DividingDriver/CB25=1 --set DividingDriver/CB60=1
      --set DividingDriver/CB64=1 --set DividingDriver/EN75=100)
four=(--set DividingDriver/CB15=1 --set DividingDriver/CB28=1 --set DividingDriver/CB30=1
      --set DividingDriver/CB32=1)
# Sorted by user and newest first, and by position and text: keys with many ties, where the sort's own
# order of equal comments shows.
sorted=(--set DividingDriver/CB6=1 --set DividingDriver/CB70=1 --set DividingDriver/CSST0=3
        --set DividingDriver/CB71=1 --set DividingDriver/CSST1=23)
vsorted=(--set DividingDriver/CB6=1 --set DividingDriver/CB70=1 --set DividingDriver/CSST0=4
         --set DividingDriver/CB71=1 --set DividingDriver/CSST1=10 --set DividingDriver/CB52=1)
live=(--set VuzirizIzeroz/CB0=0 --set VuzirizIzeroz/CB1=1 --set VuzirizIzeroz/EN0=2024
      --set VuzirizIzeroz/EN1=4 --set VuzirizIzeroz/EN2=7 --set VuzirizIzeroz/EN6=19
      --set VuzirizIzeroz/CB2=1 --set VuzirizIzeroz/EN9=2 --set VuzirizIzeroz/EN12=21
      --set VuzirizIzeroz/EN13=3 --set VuzirizIzeroz/EN58=5 --set VuzirizIzeroz/CB13=1
      --set OptionDialog/EN6=1 --set OptionDialog/CB46=0)

# One binary's run of every job into $work/<side>; its printed text goes to <side>/log.txt.
run_side() {
    local bin=$1 side=$work/$2
    mkdir -p "$side/home"
    local q=("$bin" --home "$side/home")
    local xmls=("$inputs"/*.xml)
    {
        "${q[@]}" files init >/dev/null
        "${q[@]}" scan --full "${xmls[@]}"
        mkdir -p "$side/round" "$side/four" "$side/full" "$side/sorted" "$side/vsorted"
        "${q[@]}" rebuild --out-dir "$side/round" --set DividingDriver/CB6=1 "${xmls[@]}"
        "${q[@]}" rebuild --out-dir "$side/four" --set DividingDriver/CB6=1 "${four[@]}" "${xmls[@]}"
        "${q[@]}" rebuild --out-dir "$side/full" --set DividingDriver/CB6=1 "${full[@]}" "${xmls[@]}"
        "${q[@]}" rebuild --out-dir "$side/sorted" "${sorted[@]}" "${xmls[@]}"
        "${q[@]}" rebuild --out-dir "$side/vsorted" "${vsorted[@]}" "${xmls[@]}"
        # Split and cut write beside their input, so each works on its own copy.
        mkdir -p "$side/split" "$side/cut"
        cp "${xmls[@]}" "$side/split/"
        cp "${xmls[@]}" "$side/cut/"
        "${q[@]}" split --size 1000 --remainder "$side"/split/*.xml
        "${q[@]}" cut --from 10 --to 500 "$side"/cut/*.xml
        mkdir -p "$side/live"
        for log in "$inputs"/livelog/*.txt; do
            "${q[@]}" livelog --source "$log" --out-dir "$side/live" --out-name "$(basename "$log" .txt)" "${live[@]}"
        done
        "${q[@]}" ass --out "$side/subtitles.ass" "${xmls[0]}"
    } >"$side/log.txt" 2>&1 || true
    # Paths and elapsed times differ between the sides by nature.
    sed -i -e "s#$side#SIDE#g" -e 's/（[0-9]*秒[0-9]*）/（T）/g' -e 's/（[0-9]*分[0-9]*秒[0-9]*）/（T）/g' \
        "$side/log.txt"
    rm -rf "$side/home"
}

run_side "$old" old
run_side "$new" new
if diff -r "$work/old" "$work/new" >"$work/diff.txt"; then
    echo "same output: $(find "$work/new" -type f | wc -l) files identical"
else
    head -40 "$work/diff.txt"
    echo "outputs differ" >&2
    exit 1
fi
