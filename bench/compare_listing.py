#!/usr/bin/python3
"""Times `quorvel-check list` against other compound-file listers on the same big files.

Usage: /usr/bin/python3 bench/compare_listing.py [BUILD_DIR] [--runs N] [--timeout SECONDS]
                                                 [--slow SECONDS] [--inputs NAME...]

BUILD_DIR (default: build) must hold bin/quorvel-check, bin/make_listing_inputs and bin/measure_run. The inputs
are written to a temporary folder and removed at the end. The peers are olefile (a walk of every
storage listing names, types and sizes, run by /usr/bin/python3), `gsf list` and `7z l`; p7zip-full
is installed with apt-get when missing, so run this as root or with sudo at hand.

Every lister runs once with its output kept, to check that it really listed the file (exit status
0, the input's known element names present, at least one line per stream); a lister that fails
that is reported as failed with the reason. A lister that passes is then timed --runs times with
its output sent to /dev/null, keeping the best wall time and the lowest peak resident memory (the
lister's own, as wait4 reports it); a first run longer than --slow seconds is not repeated. The table gives our
figures and, per peer, its wall time, CPU time and peak memory as multiples of ours.
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


def measure(command, input_name, work, runs, timeout, slow):
    """The best of the timed runs, or the first failure."""
    names, streams = INPUTS[input_name]
    kept = os.path.join(work, "listing.out")
    first = run_once(command, kept, work, timeout)
    if first.failure:
        return first
    incomplete = listed_everything(kept, names, streams)
    os.remove(kept)
    if incomplete:
        return Run(failure=incomplete)
    if first.wall > slow:
        return first
    timed = [run_once(command, os.devnull, work, timeout) for _ in range(runs)]
    failed = [r for r in timed if r.failure]
    if failed:
        return failed[0]
    return Run(wall=min(r.wall for r in timed), cpu=min(r.cpu for r in timed),
               peak_kib=min(r.peak_kib for r in timed))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir", nargs="?", default="build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--timeout", type=float, default=900)
    parser.add_argument("--slow", type=float, default=30)
    parser.add_argument("--inputs", nargs="+", choices=list(INPUTS), default=list(INPUTS))
    args = parser.parse_args()

    global MEASURE_RUN
    checker = os.path.abspath(os.path.join(args.build_dir, "bin", "quorvel-check"))
    generator = os.path.abspath(os.path.join(args.build_dir, "bin", "make_listing_inputs"))
    MEASURE_RUN = os.path.abspath(os.path.join(args.build_dir, "bin", "measure_run"))
    for program in (checker, generator, MEASURE_RUN):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} is missing: build quorvel-check, make_listing_inputs and measure_run first")
    ensure_tool("7z", "p7zip-full")
    ensure_tool("gsf", "libgsf-bin")

    listers = {
        "ours": lambda path: [checker, "list", path],
        "olefile": lambda path: [PEER_PYTHON, "-c", OLEFILE_LISTING, path],
        "gsf list": lambda path: ["gsf", "list", path],
        "7z l": lambda path: ["7z", "l", path],
    }

    work = tempfile.mkdtemp(prefix="quorvel-compare-")
    try:
        made = subprocess.run([generator, work], check=True, capture_output=True, text=True)
        print("Inputs:")
        for line in made.stdout.splitlines():
            name, elements, description = line.split(" ", 2)
            size_mb = os.path.getsize(os.path.join(work, name)) / (1 << 20)
            print(f"  {name:18} {int(elements):>7,} elements, {size_mb:6.1f} MB: {description}")
        print(f"Best of {args.runs} runs (a first run over {args.slow:.0f} s is not repeated); "
              "peers as multiples of ours: wall time, CPU time, peak memory.\n", flush=True)

        results = {}
        for input_name in args.inputs:
            path = os.path.join(work, input_name)
            for lister, command in listers.items():
                results[input_name, lister] = measure(command(path), input_name, work, args.runs,
                                                      args.timeout, args.slow)
                print_row(input_name, lister, results)
        print_verdict(results, listers, args.inputs)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def print_row(input_name, lister, results):
    r = results[input_name, lister]
    if lister == "ours":
        shown = (f"failed ({r.failure})" if r.failure else
                 f"{r.wall:7.3f} s wall, {r.cpu:6.2f} s CPU, {r.peak_kib / 1024:6.1f} MB peak")
    else:
        ours = results[input_name, "ours"]
        if r.failure:
            shown = f"failed ({r.failure})"
        elif ours.failure:
            shown = f"{r.wall:.3f} s, {r.peak_kib / 1024:.1f} MB"
        else:
            cpu = f"{r.cpu / ours.cpu:6.1f}x" if ours.cpu > 0 else "   n/a"
            shown = (f"{r.wall / ours.wall:6.1f}x wall, {cpu} CPU, {r.peak_kib / ours.peak_kib:5.2f}x "
                     f"memory   ({r.wall:.3f} s, {r.peak_kib / 1024:.1f} MB)")
    print(f"{input_name:18} {lister:9} {shown}", flush=True)


def print_verdict(results, listers, inputs):
    print()
    ours_complete = all(not results[i, "ours"].failure for i in inputs)
    # None: no input on which the goal could be judged.
    faster, leaner, seven_zip = None, None, None
    for input_name in inputs:
        ours = results[input_name, "ours"]
        if ours.failure:
            continue
        for lister in listers:
            peer = results[input_name, lister]
            if lister == "ours" or peer.failure:
                continue
            faster = (faster is not False) and peer.wall > ours.wall
            leaner = (leaner is not False) and peer.peak_kib > ours.peak_kib
            if lister == "7z l" and input_name.startswith("flat-"):
                seven_zip = (seven_zip is not False) and peer.wall >= 5 * ours.wall
    for holds, goal in [
        (ours_complete, "ours lists every input completely"),
        (faster, "ours is faster than every peer on every input the peer completes"),
        (seven_zip, "ours is at least 5 times faster than 7z l on the 100,000-stream files"),
        (leaner, "ours needs less peak memory than every peer on every input the peer completes"),
    ]:
        verdict = "not judged" if holds is None else "holds" if holds else "DOES NOT HOLD"
        print(f"{verdict:14} {goal}")


if __name__ == "__main__":
    main()
