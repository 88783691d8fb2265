#!/usr/bin/env python3
"""Costs of small crafted files: wall time, peak memory, output and disk per run.

    python3 bench/hostile_inputs.py BUILD_DIR [--scale 1]

Writes each crafted input at two sizes (the second twice the first) into a temporary folder, runs
the checker or quorvel-pack on it once through BUILD_DIR/bin/measure_run and prints one line a run:
wall seconds, peak resident memory, bytes written to standard output and bytes written to disk.
The inputs are the shapes a hostile author would try: a chain of nested storages with long CJK
names (checked and listed), the same with ASCII names (listed as JSON), a long chain of storages
each the only child of the one before, animation streams whose sector chains are all the
directory's own chain (checked and unpacked), and name lists of which no name is near any name the
character holds (the nearest-name search's worst case), or that all share a long beginning. A figure that doubles with the input is in
proportion; one that quadruples is not.

The files are version 4 compound files (4096-byte sectors) written here byte by byte, since no
sound writer would write the shared chains; --scale multiplies every size.
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

SECTOR = 4096
FREE, END_OF_CHAIN, FAT_SECTOR = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD
NO_ENTRY = 0xFFFFFFFF
STORAGE, STREAM, ROOT = 1, 2, 5


class Entry:
    def __init__(self, name, kind, size=0, start=END_OF_CHAIN):
        self.name, self.kind, self.size, self.start = name, kind, size, start
        self.left = self.right = self.child = NO_ENTRY


def sector_count(size):
    return (size + SECTOR - 1) // SECTOR


def write_compound_file(path, entries, streams):
    """Writes `entries` (entry 0 the root) and the data of `streams` (entry index -> bytes, each at
    least 4096 bytes so no mini stream is needed) as a version 4 file. Entries whose start is
    already set keep it: that is how the shared chains are made."""
    data_sectors, chains = 0, []
    for index, data in streams.items():
        entries[index].start, entries[index].size = data_sectors, len(data)
        chains.append((data_sectors, sector_count(len(data))))
        data_sectors += sector_count(len(data))
    directory_sectors = sector_count(len(entries) * 128)
    fat_sectors = 1
    while (data_sectors + directory_sectors + fat_sectors) > fat_sectors * (SECTOR // 4):
        fat_sectors += 1
    if fat_sectors > 109:
        raise ValueError("too large for a header-only FAT")
    directory_start = data_sectors
    fat_start = directory_start + directory_sectors
    fat = [FREE] * (fat_sectors * SECTOR // 4)
    for start, count in chains + [(directory_start, directory_sectors)]:
        for i in range(count):
            fat[start + i] = start + i + 1 if i + 1 < count else END_OF_CHAIN
    for i in range(fat_sectors):
        fat[fat_start + i] = FAT_SECTOR
    for entry in entries:
        if entry.start == "directory":
            entry.start, entry.size = directory_start, directory_sectors * SECTOR

    header = bytearray(SECTOR)
    header[0:8] = bytes.fromhex("D0CF11E0A1B11AE1")
    struct.pack_into("<HHHHH", header, 24, 0x3E, 4, 0xFFFE, 12, 6)
    struct.pack_into("<IIIIIIIII", header, 40, directory_sectors, fat_sectors, directory_start, 0,
                     4096, END_OF_CHAIN, 0, END_OF_CHAIN, 0)
    difat = [fat_start + i for i in range(fat_sectors)] + [FREE] * (109 - fat_sectors)
    struct.pack_into("<109I", header, 76, *difat)

    with open(path, "wb") as out:
        out.write(header)
        for index in streams:
            data = streams[index]
            out.write(data + bytes(sector_count(len(data)) * SECTOR - len(data)))
        directory = bytearray(directory_sectors * SECTOR)
        for i, entry in enumerate(entries):
            name = entry.name.encode("utf-16-le")
            record = bytearray(128)
            record[0:len(name)] = name
            struct.pack_into("<HBB", record, 64, len(name) + 2, entry.kind, 1)
            struct.pack_into("<III", record, 68, entry.left, entry.right, entry.child)
            struct.pack_into("<IQ", record, 116, entry.start, entry.size)
            directory[i * 128:(i + 1) * 128] = record
        out.write(directory)
        out.write(struct.pack(f"<{len(fat)}I", *fat))


def definition(name, extra=""):
    text = f"Name={name}\n{extra}"
    return (text + "#" * (SECTOR - len(text) - 1) + "\n").encode() if len(text) < SECTOR else text.encode()


def chain_right(entries, indexes):
    """Links `indexes` (already in the directory's name order) as one chain of right siblings."""
    for a, b in zip(indexes, indexes[1:]):
        entries[a].right = b
    return indexes[0]


def nested_storages(path, depth, name_of):
    """The definition, and a chain of `depth` storages, each the only child of the one before."""
    entries = [Entry("Root Entry", ROOT), Entry("Character", STREAM)]
    entries[0].child = 1
    for level in range(depth):
        entries.append(Entry(name_of(level), STORAGE))
        if level == 0:
            entries[1].right = 2
        else:
            entries[-2].child = len(entries) - 1
    write_compound_file(path, entries, {1: definition("Nest")})


def shared_chains(path, count):
    """`count` animation streams whose chain is the directory's own; names in order, so valid."""
    names = [f"A{i:05d}" for i in range(count)]
    entries = [Entry("Root Entry", ROOT), Entry("Character", STREAM)]
    entries += [Entry(name, STREAM, start="directory") for name in names]
    entries[0].child = 1
    entries[1].left = chain_right(entries, list(range(2, len(entries))))
    write_compound_file(path, entries, {1: definition("Shared", "State=Still:A00000\n")})
    return names


def far_names(count, seed):
    """`count` names, each the same sixteen letters in another order: two of them are almost never
    within three edits of each other, yet they hold the same letters, so no filter on the letters
    a name holds rules a pair out before it is compared letter by letter."""
    rng = random.Random(seed)
    letters = list("bcdfghjklmnpqrst")
    names = set()
    while len(names) < count:
        rng.shuffle(letters)
        names.add("".join(letters))
    return sorted(names)


def prefixed_names(count, seed):
    """`count` names of "Animation" and five random letters: a long shared beginning, which no
    index of name pieces can tell apart, and a few names near each other."""
    rng = random.Random(seed)
    names = set()
    while len(names) < count:
        names.add("Animation" + "".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(5)))
    return sorted(names)


def far_character(path, held):
    """A character holding the animations `held` (empty streams), in the directory's name order."""
    entries = [Entry("Root Entry", ROOT), Entry("Character", STREAM)]
    order = sorted(held, key=lambda n: (len(n), n.upper()))
    entries += [Entry(name, STREAM, size=0) for name in order]
    entries[0].child = 1
    entries[1].left = chain_right(entries, list(range(2, len(entries))))
    write_compound_file(path, entries, {1: definition("Far")})


def cjk_name(level):
    return "".join(chr(0x4E00 + (level * 31 + i) % 20000) for i in range(31))


def ascii_name(level):
    return f"N{level:030d}"


def disk_bytes(folder):
    total = 0
    for root, _, files in os.walk(folder):
        total += sum(os.path.getsize(os.path.join(root, f)) for f in files)
    return total


def run(measure_run, work, command, stdout_path, timeout):
    report = os.path.join(work, "report")
    with open(stdout_path, "wb") as out:
        try:
            subprocess.run([measure_run, report] + command, stdout=out, stderr=subprocess.DEVNULL,
                           cwd=work, timeout=timeout, check=False)
        except subprocess.TimeoutExpired:
            return None
    status, wall, _cpu, peak = open(report).read().split()
    return int(status), float(wall), int(peak), os.path.getsize(stdout_path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--timeout", type=float, default=600)
    parser.add_argument("--cases", default="nested,json,only-child,shared,hints",
                        help="which inputs, comma-separated (default: all)")
    args = parser.parse_args()
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    measure_run = os.path.join(bin_dir, "measure_run")
    check, pack = os.path.join(bin_dir, "quorvel-check"), os.path.join(bin_dir, "quorvel-pack")
    scale = lambda n: max(1, int(n * args.scale))

    work = tempfile.mkdtemp(prefix="hostile-")
    try:
        def case(label, size, command, make_disk_folder=None):
            stdout_path = os.path.join(work, "stdout")
            result = run(measure_run, work, command, stdout_path, args.timeout)
            if result is None:
                print(f"{label:<44} {size:>8}  timed out after {args.timeout:.0f} s", flush=True)
                return
            status, wall, peak_kib, out_bytes = result
            disk = disk_bytes(make_disk_folder) if make_disk_folder else 0
            print(f"{label:<44} {size:>8}  {wall:8.3f} s  {peak_kib / 1024:9.1f} MB peak  "
                  f"{out_bytes:>12,} B out  {disk:>13,} B disk  exit {status}", flush=True)

        def lists(animations, states):
            with open(os.path.join(work, "AvailAnim.txt"), "w") as f:
                f.write("".join(n + "\n" for n in animations))
            with open(os.path.join(work, "AvailState.txt"), "w") as f:
                f.write("".join(n + "\n" for n in states))

        print(f"{'input and command':<44} {'size':>8}  figures")
        cases = args.cases.split(",")
        for depth in (scale(2000), scale(4000)) if "nested" in cases else ():
            path = os.path.join(work, "nest-cjk.acs")
            nested_storages(path, depth, cjk_name)
            lists([], [])
            size = f"{os.path.getsize(path) // 1024} KB"
            case(f"nested CJK storages x{depth}: check", size, [check, path])
            case(f"nested CJK storages x{depth}: list", size, [check, "list", path])
        for depth in (scale(2000), scale(4000)) if "json" in cases else ():
            path = os.path.join(work, "nest-ascii.acs")
            nested_storages(path, depth, ascii_name)
            size = f"{os.path.getsize(path) // 1024} KB"
            case(f"nested ASCII storages x{depth}: list --json", size, [check, "list", "--json", path])
        for depth in (scale(25000), scale(50000)) if "only-child" in cases else ():
            path = os.path.join(work, "only-child.acs")
            nested_storages(path, depth, lambda level: f"S{level}")
            size = f"{os.path.getsize(path) // 1024} KB"
            case(f"only-child storages x{depth}: list", size, [check, "list", path])
        for count in (scale(500), scale(1000)) if "shared" in cases else ():
            path = os.path.join(work, "shared.acs")
            names = shared_chains(path, count)
            lists(names, ["Still"])
            size = f"{os.path.getsize(path) // 1024} KB"
            case(f"streams on the directory's chain x{count}: check", size, [check, path])
            out = os.path.join(work, "unpacked")
            shutil.rmtree(out, ignore_errors=True)
            case(f"streams on the directory's chain x{count}: unpack", size,
                 [pack, "--unpack", path, out], out)
            shutil.rmtree(out, ignore_errors=True)
        for shape, make in (("none near", far_names), ("prefixed", prefixed_names)):
            for count in (scale(2500), scale(5000)) if "hints" in cases else ():
                path = os.path.join(work, "far.acs")
                held = make(count, 1)
                far_character(path, held)
                listed = sorted(set(make(count, 2)) - set(held))
                lists(listed, ["Nowhere"])
                size = f"{os.path.getsize(path) // 1024} KB"
                case(f"{count} listed, {count} held, {shape}: check", size, [check, path])
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
