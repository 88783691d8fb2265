"""Files written by libgsf, listed by our reader (through cfb_tree_dump) and by olefile: the same
names, types, sizes, order and contents, and both equal to the plan the files were written from.

Usage: peer_to_us.py CFB_TREE_DUMP WORKDIR
"""

import os
import re
import struct
import subprocess
import sys

import peers


def our_tree(dump, path):
    """cfb_tree_dump's lines as a tree whose contents are FNV-1a hashes."""
    output = subprocess.run([dump, path], check=True, capture_output=True).stdout.decode('utf-8')
    tree = []
    for line in output.splitlines():
        fields = line.split('\t')
        name = re.sub(r'\\x([0-9A-F]{2})', lambda m: chr(int(m.group(1), 16)), fields[2])
        content = int(fields[4], 16) if fields[1] == 'stream' else None
        tree.append((int(fields[0]), fields[1], name, int(fields[3]), content))
    return tree


def hashed(tree):
    return [item[:4] + (None if item[4] is None else peers.fnv1a64(item[4]),) for item in tree]


def main():
    dump, workdir = sys.argv[1], sys.argv[2]
    os.makedirs(workdir, exist_ok=True)
    # Version 4 files, and a version 3 file past the 109 FAT sectors the header lists (6.8 MB),
    # whose FAT is listed in DIFAT sectors. A version 4 file needs 436 MB for that.
    plans = {
        'edges': (peers.edge_plan(), 512),
        'edges-v4': (peers.edge_plan(), 4096),
        'wide': (peers.wide_plan(1500), 512),
        'wide-v4': (peers.wide_plan(1500), 4096),
        'difat': ([('stream', ('Huge',), 7200000, 11), ('stream', ('Small',), 100, 12)], 512),
    }
    problems = []
    for label, (plan, sector_size) in plans.items():
        path = os.path.join(workdir, label + '-gsf.cfb')
        peers.gsf_write(path, plan, sector_size)
        with open(path, 'rb') as f:
            header = f.read(512)
        major, difat_sectors = struct.unpack_from('<H', header, 0x1A)[0], struct.unpack_from('<I', header, 0x48)[0]
        if major != (4 if sector_size == 4096 else 3) or (label == 'difat') != (difat_sectors > 0):
            problems.append('%s: libgsf wrote version %d with %d DIFAT sectors' % (label, major, difat_sectors))
        ours = our_tree(dump, path)
        # olefile is the independent judge of what libgsf wrote; the plan checks that both
        # peers agree with what was meant to be written.
        by_olefile = hashed(peers.olefile_tree(path, strict=False))
        problems += peers.compare(label + ' ours vs olefile', by_olefile, ours)
        problems += peers.compare(label + ' plan vs olefile', hashed(peers.plan_tree(plan)), by_olefile)
    for p in problems:
        print(p)
    print('peers -> us: %d files, %d problems' % (len(plans), len(problems)))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
