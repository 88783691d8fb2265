#!/usr/bin/python3
"""Times `quorvel-check list` against other compound-file listers and a floor, on the same big files.

Usage: /usr/bin/python3 bench/compare_listing.py [BUILD_DIR] [--runs N] [--timeout SECONDS]
                                                 [--slow SECONDS] [--inputs NAME...]

BUILD_DIR (default: build) must hold bin/quorvel-check, bin/minimal_lister, bin/make_listing_inputs,
bin/open_compound_file and bin/measure_run. The inputs are written to a temporary folder and removed at the end. The
peers are olefile (a walk of every storage listing names, types and sizes, run by
/usr/bin/python3), `gsf list`, `olecfinfo` and `7z l`; their Debian packages are installed with
apt-get when missing, so run this as root or with sudo at hand. The floor is bench/minimal_lister,
which prints the same lines as ours doing only what any lister must; it is no peer. Two parts of
ours are timed in the same rounds and set against the floor: its start alone (`quorvel-check
--version`) and its start with the reader's open of the input, every table and the directory read
and checked, but no line listed (bin/open_compound_file).

Every lister runs once with its output kept, to check that it really listed the file (exit status
0, the input's known element names present, at least one line per stream); a lister that fails
that is reported as failed with the reason, and a first run longer than --slow seconds is not
repeated. Then --runs rounds follow, each running ours, the floor and every remaining peer once,
one after the other, with the output sent to /dev/null, so that a change in the machine's load
falls on all of them alike. Each run is timed from a small process of its own (wall time, CPU
time and peak resident memory as wait4 reports them). The report gives, per input and lister,
the median and the range of the ratios of the same round: peers as multiples of ours, ours as a
multiple of the floor.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PEER_PYTHON = "/usr/bin/python3"
MEASURE_RUN = None  # bin/measure_run of the build, set by main

OLEFILE_LISTING = r"""
import sys, olefile
ole = olefile.OleFileIO(sys.argv[1])
kinds = {olefile.STGTY_STREAM: "stream", olefile.STGTY_STORAGE: "storage"}
out = sys.stdout
for path in ole.listdir(streams=True, storages=True):
    kind = ole.get_type(path)
    size = ole.get_size(path) if kind == olefile.STGTY_STREAM else 0
    out.write("%s %d %s\n" % (kinds.get(kind, "other"), size, "/".join(path)))
ole.close()
"""

# What each file written by make_listing_inputs holds: names a complete listing must show, and
# the number of streams (every lister prints at least one line per stream).
INPUTS = {
    "flat-chain.acs": (["anim0", "anim50000", "anim99999"], 100_000),
    "flat-balanced.acs": (["anim0", "anim50000", "anim99999"], 100_000),
    "tree.acs": (["store0", "store99", "deep3", "leaf", "anim994"], 99_600),
    "huge.acs": (["Huge", "314572800"], 1),
}


def ensure_tool(path_or_name, package):
    if shutil.which(path_or_name):
        return
    print(f"installing {package} for {path_or_name}", flush=True)
    command = ["apt-get", "install", "-y", package]
    if os.geteuid() != 0:
        command.insert(0, "sudo")
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
    if not shutil.which(path_or_name):
        sys.exit(f"{path_or_name} still missing after installing {package}")


class Run:
    """One timed run: wall seconds, CPU seconds, peak resident KiB, or why it failed."""

    def __init__(self, wall=0.0, cpu=0.0, peak_kib=0, failure=None):
        self.wall, self.cpu, self.peak_kib, self.failure = wall, cpu, peak_kib, failure


def last_line(path):
    try:
        with open(path, errors="replace") as f:
            lines = [line.strip() for line in f if line.strip()]
    except OSError:
        return ""
    return lines[-1] if lines else ""


def run_once(command, stdout_path, work, timeout):
    stderr_file = os.path.join(work, "stderr.out")
    report_file = os.path.join(work, "measured.out")
    with open(stdout_path, "wb") as out, open(stderr_file, "wb") as err:
        # measure_run times the lister from a small process of its own: neither a timing tool's
        # start-up nor this script's memory is counted against it. Its own session, so that a
        # timeout ends the lister as well.
        process = subprocess.Popen([MEASURE_RUN, report_file] + command, stdout=out, stderr=err,
                                   start_new_session=True)
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            return Run(failure=f"timed out after {timeout:.0f} s")
    if process.returncode != 0:
        return Run(failure="could not be started")
    with open(report_file) as f:
        status, wall, cpu, peak = f.read().split()
    status = int(status)
    if status > 128:
        return Run(failure=f"Command terminated by signal {status - 128}")
    if status != 0:
        reason = f"Command exited with non-zero status {status}"
        detail = last_line(stderr_file)
        return Run(failure=f"{reason}: {detail[:70]}" if detail else reason)
    return Run(wall=float(wall), cpu=float(cpu), peak_kib=int(peak))


def listed_everything(stdout_path, names, streams):
    with open(stdout_path, errors="replace") as f:
        text = f.read()
    missing = [name for name in names if name not in text]
    if missing:
        return f"output lacks {', '.join(missing)}"
    lines = text.count("\n")
    if lines < streams:
        return f"output has {lines} lines for {streams} streams"
    return None


def first_run(command, input_name, work, timeout):
    """The kept run that checks the listing: a Run, failed when the listing is wrong."""
    names, streams = INPUTS[input_name]
    kept = os.path.join(work, "listing.out")
    first = run_once(command, kept, work, timeout)
    if not first.failure:
        incomplete = listed_everything(kept, names, streams)
        if incomplete:
            first = Run(failure=incomplete)
    os.remove(kept)
    return first


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


class Ratio:
    """The median and the range of one quantity's ratios over the rounds."""

    def __init__(self, values):
        self.median, self.low, self.high = median(values), min(values), max(values)

    def __str__(self):
        return f"{self.median:6.2f}x ({self.low:.2f}-{self.high:.2f})"


def versions():
    """What each peer says it is, and its Debian package."""
    def first_line(command, pick=lambda line: True):
        try:
            text = subprocess.run(command, capture_output=True, text=True, timeout=30).stdout
        except (OSError, subprocess.TimeoutExpired):
            return "unknown"
        return next((line.strip() for line in text.splitlines() if line.strip() and pick(line)), "unknown")

    def package(name):
        return first_line(["dpkg-query", "-W", "-f", "${Package} ${Version}", name])

    return {
        "olefile": f"olefile {first_line([PEER_PYTHON, '-c', 'import olefile; print(olefile.__version__)'])}"
                   f" [{package('python3-olefile')}], {first_line([PEER_PYTHON, '--version'])}",
        "gsf list": f"{first_line(['gsf', '--version'])} [{package('libgsf-bin')}]",
        "olecfinfo": f"{first_line(['olecfinfo', '-V'])} [{package('libolecf-utils')}]",
        "7z l": f"{first_line(['7z'], lambda line: line.startswith('7-Zip'))} [{package('p7zip-full')}]",
    }


def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    load = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    return f"{os.cpu_count()} x {model}, Linux {os.uname().release}, load average {load} at the start"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[1])
    parser.add_argument("build_dir", nargs="?", default="build")
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("--timeout", type=float, default=60)
    parser.add_argument("--slow", type=float, default=5)
    parser.add_argument("--inputs", nargs="+", choices=list(INPUTS), default=list(INPUTS))
    args = parser.parse_args()

    global MEASURE_RUN
    binary = lambda name: os.path.abspath(os.path.join(args.build_dir, "bin", name))
    checker, floor, generator = binary("quorvel-check"), binary("minimal_lister"), binary("make_listing_inputs")
    opener = binary("open_compound_file")
    MEASURE_RUN = binary("measure_run")
    for program in (checker, floor, generator, opener, MEASURE_RUN):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} is missing: build quorvel-check, minimal_lister, make_listing_inputs, "
                     "open_compound_file and measure_run first")
    ensure_tool("7z", "p7zip-full")
    ensure_tool("gsf", "libgsf-bin")
    ensure_tool("olecfinfo", "libolecf-utils")

    listers = {
        "ours": lambda path: [checker, "list", path],
        "floor": lambda path: [floor, path],
        "olefile": lambda path: [PEER_PYTHON, "-c", OLEFILE_LISTING, path],
        "gsf list": lambda path: ["gsf", "list", path],
        "olecfinfo": lambda path: ["olecfinfo", path],
        "7z l": lambda path: ["7z", "l", path],
    }
    parts = {
        "start": lambda path: [checker, "--version"],
        "open": lambda path: [opener, path],
    }
    print(f"Machine: {machine()}")
    print("Peers:")
    for lister, version in versions().items():
        print(f"  {lister:9} {version}")

    work = tempfile.mkdtemp(prefix="quorvel-compare-")
    try:
        made = subprocess.run([generator, work], check=True, capture_output=True, text=True)
        print("Inputs:")
        for line in made.stdout.splitlines():
            name, elements, description = line.split(" ", 2)
            size_mb = os.path.getsize(os.path.join(work, name)) / (1 << 20)
            print(f"  {name:18} {int(elements):>7,} elements, {size_mb:6.1f} MB: {description}")
        print(f"\n{args.runs} rounds of ours, the floor and every peer in turn (a peer whose first run "
              f"takes over {args.slow:.0f} s runs once; over {args.timeout:.0f} s it is stopped). Ratios "
              "of the same round, median (lowest-highest): peers as multiples of ours, ours as a "
              "multiple of the floor.\n", flush=True)

        results = {}
        for input_name in args.inputs:
            path = os.path.join(work, input_name)
            firsts = {lister: first_run(command(path), input_name, work, args.timeout)
                      for lister, command in listers.items()}
            for part, command in parts.items():
                if run_once(command(path), os.devnull, work, args.timeout).failure:
                    sys.exit(f"ours' {part} failed on {input_name}")
            timed = [lister for lister, r in firsts.items() if not r.failure and r.wall <= args.slow]
            commands = {**{lister: listers[lister] for lister in timed}, **parts}
            rounds = {name: [] for name in commands}
            for _ in range(args.runs):
                for name, command in commands.items():
                    run = run_once(command(path), os.devnull, work, args.timeout)
                    if run.failure:
                        sys.exit(f"{name} failed on {input_name} after a good first run: {run.failure}")
                    rounds[name].append(run)
            for name in {**listers, **parts}:
                results[input_name, name] = rounds.get(name) or [firsts[name]]
            print_input(input_name, listers, parts, results)
        print_verdict(results, listers, args.inputs)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def ratios(runs, base, field):
    """Per round, runs[i].field / base[i].field; a single run is set against every base run."""
    if len(runs) == 1:
        return [getattr(runs[0], field) / getattr(b, field) for b in base]
    return [getattr(r, field) / getattr(b, field) for r, b in zip(runs, base)]


def print_input(input_name, listers, parts, results):
    ours = results[input_name, "ours"]
    floor = results[input_name, "floor"]
    print(input_name)
    for lister in listers:
        runs = results[input_name, lister]
        if runs[0].failure:
            print(f"  {lister:9} failed ({runs[0].failure})")
            continue
        wall = Ratio([r.wall for r in runs])
        peak = median([r.peak_kib for r in runs]) / 1024
        figures = (f"{wall.median:8.4f} s wall ({wall.low:.4f}-{wall.high:.4f}), "
                   f"{median([r.cpu for r in runs]):7.4f} s CPU, {peak:6.1f} MB peak")
        if lister == "ours" or ours[0].failure:
            print(f"  {lister:9} {figures}")
            continue
        base, this = (ours, runs) if lister != "floor" else (runs, ours)
        once = " (ran once)" if len(runs) == 1 else ""
        print(f"  {lister:9} {figures}; {'ours' if lister == 'floor' else 'peer'}: "
              f"{Ratio(ratios(this, base, 'wall'))} wall, {Ratio(ratios(this, base, 'peak_kib'))} memory{once}")
        if lister == "7z l" and not floor[0].failure:
            print(f"  {'':9} the most any lister can be faster than 7z l: {Ratio(ratios(runs, floor, 'wall'))} "
                  "(7z l / floor)")
    if not floor[0].failure:
        for part in parts:
            runs = results[input_name, part]
            print(f"  ours' {part:5} {median([r.wall for r in runs]):6.4f} s wall; part / floor: "
                  f"{Ratio(ratios(runs, floor, 'wall'))} wall")
    sys.stdout.flush()


def print_verdict(results, listers, inputs):
    print()
    peers = [lister for lister in listers if lister not in ("ours", "floor")]
    ours_complete = all(not results[i, "ours"][0].failure for i in inputs)
    # None: no input on which the goal could be judged.
    goals = {"near": None, "faster": None, "leaner": None, "seven_zip": None}

    def judge(goal, holds):
        goals[goal] = (goals[goal] is not False) and holds

    for input_name in inputs:
        ours = results[input_name, "ours"]
        if ours[0].failure:
            continue
        floor = results[input_name, "floor"]
        if not floor[0].failure:
            judge("near", median(ratios(ours, floor, "wall")) <= 1.5)
        for lister in peers:
            peer = results[input_name, lister]
            if peer[0].failure:
                continue
            judge("faster", median(ratios(peer, ours, "wall")) > 1)
            judge("leaner", median(ratios(peer, ours, "peak_kib")) >= 1)
            if lister == "7z l" and input_name != "huge.acs":
                judge("seven_zip", median(ratios(peer, ours, "wall")) >= 10)
    for holds, goal in [
        (ours_complete, "ours lists every input completely"),
        (goals["near"], "ours takes at most 1.5 times the floor's wall time on every input (median)"),
        (goals["faster"], "ours is faster than every peer on every input the peer completes (median)"),
        (goals["seven_zip"], "ours is at least 10 times faster than 7z l on the 100,000-element files (median)"),
        (goals["leaner"], "ours needs no more peak memory than any peer on any input the peer completes"),
    ]:
        verdict = "not judged" if holds is None else "holds" if holds else "DOES NOT HOLD"
        print(f"{verdict:14} {goal}")


if __name__ == "__main__":
    main()
