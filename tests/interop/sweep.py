"""A sweep of generated trees: each random valid tree (nesting, non-ASCII and control-led names
up to the longest allowed, sizes around the mini sector, sector and mini stream boundaries) is
written by our writer and by libgsf, and every file is read by our reader (cfb_tree_dump) and by
olefile. Both must give the tree as planned: names, types, sizes, contents and order.

Usage: sweep.py CFB_WRITE_PLAN CFB_TREE_DUMP WORKDIR [TREES [FIRST_SEED]]
"""

import os
import random
import sys
import time

import peers
from peer_to_us import hashed, our_tree
from us_to_peer import write_with_us

ALPHABET = 'AbzQ09 ._-éÉÿŸΩωЖж中\x01\x05'
SIZES = [0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097, 20000]


def random_name(rng, taken):
    for _ in range(100):
        length = 31 if rng.random() < 0.1 else rng.randint(1, 12)
        name = ''.join(rng.choice(ALPHABET) for _ in range(length))
        if '/' not in name and repr(peers.name_key(name)) not in taken:
            taken.add(repr(peers.name_key(name)))
            return name
    return None


def random_plan(rng):
    """A plan of up to 40 elements; parents come before their children."""
    plan = []
    storages = [()]
    taken = {(): set()}
    for _ in range(rng.randint(1, 40)):
        parent = storages[-1] if rng.random() < 0.3 else rng.choice(storages)
        name = random_name(rng, taken[parent])
        if name is None:
            continue
        path = parent + (name,)
        if rng.random() < 0.2:
            plan.append(('storage', path))
            storages.append(path)
            taken[path] = set()
        else:
            size = rng.choice(SIZES) if rng.random() < 0.7 else rng.randint(0, 9000)
            plan.append(('stream', path, size, rng.randint(0, 255)))
    return plan


def main():
    writer, dump, workdir = sys.argv[1], sys.argv[2], sys.argv[3]
    trees = int(sys.argv[4]) if len(sys.argv) > 4 else 1000
    first_seed = int(sys.argv[5]) if len(sys.argv) > 5 else 1
    os.makedirs(workdir, exist_ok=True)
    problems = []
    elements = 0
    started = time.monotonic()
    for seed in range(first_seed, first_seed + trees):
        rng = random.Random(seed)
        plan = random_plan(rng)
        elements += len(plan)
        expected = hashed(peers.plan_tree(plan))
        shape = rng.choice(('balanced', 'chain'))
        label = 'tree%d' % seed
        ours_path = write_with_us(writer, workdir, label, plan, shape)
        gsf_path = os.path.join(workdir, label + '-gsf.cfb')
        peers.gsf_write(gsf_path, plan)
        for writer_name, path, strict in (('ours', ours_path, True), ('libgsf', gsf_path, False)):
            problems += peers.compare('%s by %s, our reader' % (label, writer_name), expected, our_tree(dump, path))
            problems += peers.compare('%s by %s, olefile' % (label, writer_name), expected,
                                      hashed(peers.olefile_tree(path, strict=strict)))
        for path in (ours_path, gsf_path, os.path.join(workdir, label + '.plan')):
            os.remove(path)
    for p in problems[:20]:
        print(p)
    print('sweep: %d trees (seeds %d-%d, %d elements), each written by us and by libgsf and read by us and '
          'by olefile: %d files, %d readings, %d problems, %.1f s'
          % (trees, first_seed, first_seed + trees - 1, elements, 2 * trees, 4 * trees, len(problems),
             time.monotonic() - started))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
