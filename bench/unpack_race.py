#!/usr/bin/env python3
"""What a failed unpack removes when its destination is swapped for a link mid-run, and its time.

    python3 bench/unpack_race.py QUORVEL_PACK [QUORVEL_PACK ...] [--sizes 32,64]

For each program given (say the one before a change and the one after) and each size (a character
of that many 1 MB animations), prints two lines: the wall and CPU time of a whole unpack, and the outcomes
of three hostile runs. In that run another folder holds files of the same names as the character's
elements; once the unpack has written its first animations, its destination is renamed away and
a symbolic link to the other folder put in its place; the unpack then fails on its last, largest
animation (a file size limit stops the write), or at once where it writes through the path and
meets the other folder's files, and cleans up. The line says how many of the other
folder's files are gone afterwards: a clean-up that works through the destination's path deletes
them, one that works in the folder it opened deletes none.
"""
import argparse
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MB = 1 << 20
LAST = "ZLastAndLargest"  # the longest name, so the last element the unpack reaches


def make_character(pack, work, animations):
    source = os.path.join(work, "source")
    os.makedirs(source)
    names = [f"A{i:04d}" for i in range(animations)]
    with open(os.path.join(source, "Character"), "w") as out:
        out.write("Name=Racer\nState=Still:A0000\n")
    for name in names:
        with open(os.path.join(source, name), "wb") as out:
            out.write(os.urandom(MB))
    with open(os.path.join(source, LAST), "wb") as out:
        out.write(os.urandom(2 * MB))
    character = os.path.join(work, "racer.acs")
    subprocess.run([pack, source, character], check=True, stdout=subprocess.DEVNULL)
    return character, ["Character"] + names


def limit_file_size():
    # A write past the limit then fails with EFBIG instead of ending the program.
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (MB + MB // 2, MB + MB // 2))


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def whole_unpack(pack, character, work, rounds=5):
    """The least wall and CPU time of `rounds` whole unpacks: the least is the one the machine
    disturbed least."""
    out = os.path.join(work, "whole")
    wall = cpu = float("inf")
    for _ in range(rounds):
        started, cpu_before = time.perf_counter(), children_cpu()
        subprocess.run([pack, "--unpack", character, out], check=True, stdout=subprocess.DEVNULL)
        wall = min(wall, time.perf_counter() - started)
        cpu = min(cpu, children_cpu() - cpu_before)
        shutil.rmtree(out)
    return wall, cpu


def hostile_unpack(pack, character, names, work):
    other = os.path.join(work, "other")
    os.makedirs(other)
    for name in names + ["keep.txt"]:
        with open(os.path.join(other, name), "w") as theirs:
            theirs.write("theirs")
    out, moved = os.path.join(work, "out"), os.path.join(work, "moved")
    started = time.perf_counter()
    run = subprocess.Popen([pack, "--unpack", character, out], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, preexec_fn=limit_file_size)
    swapped = False
    while run.poll() is None:
        if os.path.exists(os.path.join(out, names[2])):
            os.rename(out, moved)
            os.symlink(other, out)
            swapped = True
            break
    status = run.wait()
    elapsed = time.perf_counter() - started
    lost = sum(not os.path.exists(os.path.join(other, name)) for name in names + ["keep.txt"])
    for path in (out, moved, other):
        if os.path.islink(path):
            os.unlink(path)
        elif os.path.exists(path):
            shutil.rmtree(path)
    return status, swapped, lost, len(names) + 1, elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--sizes", default="32,64", help="animations of 1 MB, comma-separated")
    args = parser.parse_args()
    for size in (int(s) for s in args.sizes.split(",")):
        with tempfile.TemporaryDirectory(prefix="quorvel-unpack-race-") as work:
            character, names = make_character(args.programs[-1], work, size)
            for pack in args.programs:
                wall, cpu = whole_unpack(pack, character, work)
                print(f"{pack}: {size} MB: whole unpack {wall:.3f} s wall, {cpu:.3f} s CPU (least of 5)")
                # The swap races the unpack on a busy machine; three runs show whether it is caught.
                outcomes = []
                for _ in range(3):
                    status, swapped, lost, held, elapsed = hostile_unpack(pack, character, names, work)
                    outcomes.append(f"status {status}, {lost} of {held} deleted, {elapsed:.3f} s"
                                    if swapped else "swap missed")
                print(f"{pack}: {size} MB: swapped mid-run: " + "; ".join(outcomes))
                sys.stdout.flush()


if __name__ == "__main__":
    main()
