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
character holds (the nearest-name search's worst case), or that all share a long beginning; and
two inputs aimed at fixed hashes: animation names whose folded forms all hash to one slot of a
name set, and held names whose pieces overfill a sixth of the nearest-name search's table, so
that its slots there and after form one long run. A figure that doubles with the input is in proportion; one
that quadruples is not: each line gives its CPU time's growth over the smaller size's.

The files are version 4 compound files (4096-byte sectors) written here byte by byte, since no
sound writer would write the shared chains; --scale multiplies every size.
"""
import argparse
import os
import random
import re
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


MASK64 = (1 << 64) - 1
GOLDEN = 0x9E3779B97F4A7C15


def unit_is_plain(unit):
    """A unit that is its own upper case under every rule a reader may fold by, and no surrogate:
    CJK and the private use area."""
    return (0x3400 <= unit < 0xD800 or 0xE000 <= unit < 0xF900) and chr(unit).upper() == chr(unit)


def one_slot_names(count, seed):
    """`count` names of eight units whose folded forms all have the same low 32 bits under the
    fixed hash a name set once used (four units a word, one multiplication a word, then MurmurHash3's
    final mix): each is an ASCII beginning and four units solved for from a chosen hash."""
    mix, golden_inverse = 0xFF51AFD7ED558CCD, pow(GOLDEN, -1, 1 << 64)
    mix_inverse = pow(mix, -1, 1 << 64)
    rng = random.Random(seed)
    names, number = [], 0
    while len(names) < count:
        number += 1
        head = "".join("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[number // 36 ** k % 36] for k in (3, 2, 1, 0))
        first = int.from_bytes(head.encode("utf-16-le"), "little")
        after_first = ((8 * GOLDEN & MASK64) ^ first) * GOLDEN & MASK64
        for _ in range(64):
            target = rng.getrandbits(32) << 32
            h = target ^ (target >> 33)
            h = h * mix_inverse & MASK64
            h ^= h >> 33
            before_tail = h * golden_inverse & MASK64
            second = (before_tail * golden_inverse & MASK64) ^ after_first
            units = [(second >> (16 * k)) & 0xFFFF for k in range(4)]
            if all(unit_is_plain(u) for u in units):
                names.append(head + "".join(map(chr, units)))
                break
    return names


def piece_hash(bound, length, piece, units):
    value = ((length * 4 + bound) * 4 + piece + 1) * GOLDEN & MASK64
    for unit in units:
        value = (value ^ ord(unit)) * GOLDEN & MASK64
    return value ^ (value >> 29)


def clustered_names(slot_bits, seed):
    """Names of 16 letters for a nearest-name search that once filed its pieces (halves for one
    edit, quarters for three, and each but the first as a swap across its front edge leaves it)
    in an open-addressing table of 2 ** slot_bits slots under a fixed hash: each quarter is chosen
    so that its piece lands in the table's first sixth, which the names overfill, so that its
    slots and those after them form one run that every lookup landing in it walks. Letters and
    digits, so that few quarters repeat."""
    rng = random.Random(seed)
    slots = 1 << slot_bits
    in_first_sixth = lambda value: value & (slots - 1) < slots // 6
    names = set()
    while len(names) < slots * 9 // 200:
        quarters = []
        for piece in range(4):
            while True:
                quarter = "".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") for _ in range(4))
                if in_first_sixth(piece_hash(3, 16, piece, quarter)):
                    quarters.append(quarter)
                    break
        names.add("".join(quarters))
    return sorted(names)


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
    status, wall, cpu, peak = open(report).read().split()
    return int(status), float(wall), float(cpu), int(peak), os.path.getsize(stdout_path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--timeout", type=float, default=600)
    parser.add_argument("--cases", default="nested,json,only-child,shared,hints,one-slot,clustered",
                        help="which inputs, comma-separated (default: all)")
    args = parser.parse_args()
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    measure_run = os.path.join(bin_dir, "measure_run")
    check, pack = os.path.join(bin_dir, "quorvel-check"), os.path.join(bin_dir, "quorvel-pack")
    scale = lambda n: max(1, int(n * args.scale))

    work = tempfile.mkdtemp(prefix="hostile-")
    smaller_cpu = {}  # by the label's words before the size, the CPU time of the smaller size
    try:
        def case(label, size, command, make_disk_folder=None):
            stdout_path = os.path.join(work, "stdout")
            result = run(measure_run, work, command, stdout_path, args.timeout)
            if result is None:
                print(f"{label:<44} {size:>8}  timed out after {args.timeout:.0f} s", flush=True)
                return
            status, wall, cpu, peak_kib, out_bytes = result
            disk = disk_bytes(make_disk_folder) if make_disk_folder else 0
            shape = re.sub(r"[0-9]+", "N", label)
            growth = f"x{cpu / smaller_cpu[shape]:5.2f}" if smaller_cpu.get(shape) else "      "
            smaller_cpu[shape] = cpu
            print(f"{label:<44} {size:>8}  {wall:8.3f} s  {cpu:8.3f} s CPU {growth}  {peak_kib / 1024:9.1f} MB peak  "
                  f"{out_bytes:>12,} B out  {disk:>13,} B disk  exit {status}", flush=True)

        def lists(animations, states):
            with open(os.path.join(work, "AvailAnim.txt"), "w") as f:
                f.write("".join(n + "\n" for n in animations))
            with open(os.path.join(work, "AvailState.txt"), "w") as f:
                f.write("".join(n + "\n" for n in states))

        print(f"{'input and command':<44} {'size':>8}  wall, CPU and its growth, memory, output, disk")
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
        for count in (scale(50000), scale(100000)) if "one-slot" in cases else ():
            path = os.path.join(work, "one-slot.acs")
            far_character(path, one_slot_names(count, 1))
            lists(["Wave"], ["Still"])
            size = f"{os.path.getsize(path) // 1024} KB"
            case(f"{count} names in one slot: check", size, [check, path])
        for bits, listed in ((19, scale(6400)), (20, scale(12800))) if "clustered" in cases else ():
            path = os.path.join(work, "clustered.acs")
            held = clustered_names(bits, 1)
            far_character(path, held)
            rng = random.Random(2)
            missing = sorted({"".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ") for _ in range(16))
                              for _ in range(listed)} - set(held))
            lists(missing, ["Nowhere"])
            size = f"{os.path.getsize(path) // 1024} KB"
            case(f"{len(missing)} listed, {len(held)} held, one run: check", size, [check, path])
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
