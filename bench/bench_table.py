#!/usr/bin/python3
"""Runs the offline jobs of `quippet` on generated inputs and prints one table: task, input, wall seconds
(median of the runs), MB/s over the input size, peak resident memory, and our time as a ratio to the two
reference programs on the same file (xmllint's streaming parser, and a Python/lxml clean-up script)."""
import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent

FULL_RECONSTRUCTION = [
    "--set", "DividingDriver/CB52=1", "--set", "DividingDriver/CB54=1", "--set", "DividingDriver/EN74=80",
    "--set", "DividingDriver/CB58=1", "--set", "DividingDriver/CB25=1", "--set", "DividingDriver/CB60=1",
    "--set", "DividingDriver/CB64=1", "--set", "DividingDriver/EN75=100",
]
# The generated log's broadcast: 2024-04-07 from 19:00, a first part of 2 hours, a 3-minute break, 5 hours in
# all; existing outputs replaced, lines joined, no log file.
LIVE_LOG_SETTINGS = [
    "--set", "VuzirizIzeroz/CB0=0", "--set", "VuzirizIzeroz/CB1=1", "--set", "VuzirizIzeroz/EN0=2024",
    "--set", "VuzirizIzeroz/EN1=4", "--set", "VuzirizIzeroz/EN2=7", "--set", "VuzirizIzeroz/EN6=19",
    "--set", "VuzirizIzeroz/CB2=1", "--set", "VuzirizIzeroz/EN9=2", "--set", "VuzirizIzeroz/EN12=21",
    "--set", "VuzirizIzeroz/EN13=3", "--set", "VuzirizIzeroz/EN58=5", "--set", "VuzirizIzeroz/CB13=1",
    "--set", "OptionDialog/EN6=1", "--set", "OptionDialog/CB46=0",
]
FOUR_STAGES = ["--set", "DividingDriver/CB15=1", "--set", "DividingDriver/CB28=1", "--set", "DividingDriver/CB30=1",
               "--set", "DividingDriver/CB32=1"]


def measure(command, prepare=None, runs=5):
    """Median wall seconds and the largest peak RSS (MiB) over `runs` runs; None when the command failed."""
    walls, peak = [], 0.0
    # GNU time reports the program's own peak; a child of this interpreter would count the interpreter's
    # pages it had before exec as well.
    rss_file = Path(os.environ.get("TMPDIR", "/tmp")) / f"quippet-bench-rss-{os.getpid()}"
    for _ in range(runs):
        if prepare:
            prepare()
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", str(rss_file)] + command,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        walls.append(time.perf_counter() - start)
        if done.returncode != 0:
            print(f"failed ({done.returncode}): {' '.join(command)}\n{done.stderr.decode(errors='replace')}",
                  file=sys.stderr)
            return None
        peak = max(peak, int(rss_file.read_text().split()[-1]) / 1024.0)
    rss_file.unlink(missing_ok=True)
    return statistics.median(walls), peak


def machine():
    model = "unknown CPU"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
        memory = int(Path("/proc/meminfo").read_text().split()[1]) // 1024 // 1024
    except OSError:
        memory = 0
    return f"{os.cpu_count()} × {model}, {memory} GiB RAM, {platform.system()} {platform.release()}"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--quippet", required=True)
    parser.add_argument("--gen", required=True, help="quippet_bench_gen")
    parser.add_argument("--no-livelog", dest="livelog", action="store_false", help="skip the live-log row")
    parser.add_argument("--work", required=True, help="scratch folder (a memory file system keeps disk noise out)")
    parser.add_argument("--sizes", default="10000,100000,500000,1000000")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--markdown", help="also write the table to this file")
    args = parser.parse_args()

    work = Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    home, out = work / "home", work / "out"
    for folder in (home, out):
        folder.mkdir(exist_ok=True)
    q = [args.quippet, "--home", str(home)]
    have_lxml = subprocess.run(["/usr/bin/python3", "-c", "import lxml"], capture_output=True).returncode == 0
    have_xmllint = shutil.which("xmllint") is not None

    rows = []  # (task, input, seconds, MB/s, RSS, ratio xmllint, ratio lxml)
    checks = []
    for size in [int(s) for s in args.sizes.split(",")]:
        source = work / f"comments-{size}.xml"
        if not source.exists():
            subprocess.run([args.gen, "comments", str(size), str(source)], check=True)
        megabytes = source.stat().st_size / 1e6
        label = f"{size:,} comments ({megabytes:.1f} MB)"
        references = {}
        if have_xmllint:
            references["xmllint"] = measure(["xmllint", "--stream", "--noout", str(source)], runs=args.runs)
        if have_lxml:
            references["lxml"] = measure(["/usr/bin/python3", str(HERE / "reference" / "lxml_cleanup.py"),
                                          str(source), str(out / "lxml.xml")], runs=args.runs)
        split_folder = work / "split"

        def fresh_split_copy():
            shutil.rmtree(split_folder, ignore_errors=True)
            split_folder.mkdir()
            shutil.copyfile(source, split_folder / "input.xml")

        rebuild = q + ["rebuild", "--out-dir", str(out), "--set", "DividingDriver/CB6=1"]
        tasks = [
            ("read only", q + ["scan", "--full", str(source)], None),
            ("read → write round trip", rebuild + [str(source)], None),
            ("rule evaluation (four default programs)", rebuild + FOUR_STAGES + [str(source)], None),
            ("full reconstruction", rebuild + FULL_RECONSTRUCTION + [str(source)], None),
            ("split into 1000s", q + ["split", "--size", "1000", "--remainder", str(split_folder / "input.xml")],
             fresh_split_copy),
        ]
        for name, command, prepare in tasks:
            result = measure(command, prepare, args.runs)
            if result is None:
                rows.append((name, label, "failed", "", "", "", ""))
                continue
            seconds, rss = result
            ratios = []
            for ref in ("xmllint", "lxml"):
                r = references.get(ref)
                ratios.append(f"{seconds / r[0]:.2f}" if r else "–")
            rows.append((name, label, f"{seconds:.3f}", f"{megabytes / seconds:.1f}", f"{rss:.0f} MiB", *ratios))
            # The targets every large input is held to: time against xmllint, memory against the file.
            limits = {"read only": 0.5, "read → write round trip": 1.0,
                      "rule evaluation (four default programs)": 1.5, "full reconstruction": 1.0}
            x = references.get("xmllint")
            if size >= 500000 and name in limits and x:
                ratio = seconds / x[0]
                checks.append(f"{name}, {size:,} comments: {ratio:.2f} × xmllint --stream (target ≤ {limits[name]})"
                              f" {'met' if ratio <= limits[name] else 'NOT met'}")
            if size >= 500000:
                times_file = rss * 1.048576 / megabytes
                checks.append(f"{name}, {size:,} comments: peak {rss:.0f} MiB = {times_file:.2f} × the file"
                              f" (target ≤ 2) {'met' if times_file <= 2 else 'NOT met'}")
        for ref in ("xmllint", "lxml"):
            r = references.get(ref)
            if r:
                title = "xmllint --stream --noout" if ref == "xmllint" else "Python/lxml clean-up script"
                rows.append((f"reference: {title}", label, f"{r[0]:.3f}", f"{megabytes / r[0]:.1f}", f"{r[1]:.0f} MiB",
                             "", ""))
        split_folder.exists() and shutil.rmtree(split_folder, ignore_errors=True)

    if args.livelog:
        log = work / "livelog-200000.txt"
        if not log.exists():
            subprocess.run([args.gen, "livelog", "200000", str(log)], check=True)
        megabytes = log.stat().st_size / 1e6
        result = measure(q + ["livelog", "--source", str(log), "--out-dir", str(out), "--out-name", "live"] +
                         LIVE_LOG_SETTINGS, runs=args.runs)
        label = f"200,000 posts ({megabytes:.1f} MB)"
        if result:
            rows.append(("live-log conversion", label, f"{result[0]:.3f}", f"{megabytes / result[0]:.1f}",
                         f"{result[1]:.0f} MiB", "", ""))
            checks.append(f"live-log conversion of 200,000 posts: {result[0]:.3f} s (target < 0.2)"
                          f" {'met' if result[0] < 0.2 else 'NOT met'}")
        else:
            rows.append(("live-log conversion", label, "failed", "", "", "", ""))

    header = ("task", "input", "wall s (median)", "MB/s", "peak RSS", "× xmllint", "× lxml")
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    table = "\n".join(lines)
    print(table)
    for check in checks:
        print(check)
    if args.markdown:
        stamp = time.strftime("%Y-%m-%d")
        text = (f"Measured {stamp} on {machine()}; inputs and outputs in {work} "
                f"(median of {args.runs} runs each, `scripts/bench`).\n\n{table}\n\n" +
                "".join(f"- {c}\n" for c in checks))
        Path(args.markdown).write_text(text)


if __name__ == "__main__":
    main()
