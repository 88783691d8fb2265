"""Files written by our writer, read back by independent readers (olefile, strict about defects,
and libgsf): the same tree, names, sizes and contents as the plan they were written from, in
both sibling tree shapes.

Usage: us_to_peer.py CFB_WRITE_PLAN WORKDIR
"""

import os
import struct
import subprocess
import sys

import peers

HUGE_SIZE = 7_500_000  # past 109 FAT sectors (about 6.8 MB), so the FAT needs a DIFAT sector


def write_with_us(writer, workdir, label, plan, shape):
    plan_path = os.path.join(workdir, label + '.plan')
    with open(plan_path, 'w', encoding='utf-8', newline='\n') as f:
        for item in plan:
            fields = [item[0], '/'.join(item[1])] + [str(x) for x in item[2:]]
            f.write('\t'.join(fields) + '\n')
    out = os.path.join(workdir, '%s-%s.cfb' % (label, shape))
    subprocess.run([writer, plan_path, out, shape], check=True)
    return out


def main():
    writer, workdir = sys.argv[1], sys.argv[2]
    os.makedirs(workdir, exist_ok=True)
    plans = {
        'edges': peers.edge_plan() + [('stream', ('Huge',), HUGE_SIZE, 99)],
        'wide': peers.wide_plan(3000),
    }
    problems = []
    for label, plan in plans.items():
        expected = peers.plan_tree(plan)
        for shape in ('balanced', 'chain'):
            path = write_with_us(writer, workdir, label, plan, shape)
            name = '%s/%s' % (label, shape)
            problems += peers.compare(name + ' olefile', expected, peers.olefile_tree(path, strict=True))
            problems += peers.compare(name + ' libgsf', expected, peers.gsf_tree(path))
            if label == 'edges':
                with open(path, 'rb') as f:
                    num_difat = struct.unpack('<I', f.read(0x4C)[0x48:0x4C])[0]
                if num_difat < 1:
                    problems.append('%s: expected a DIFAT sector, header says %d' % (name, num_difat))
    for p in problems:
        print(p)
    print('us -> peers: %d plans x 2 shapes, %d problems' % (len(plans), len(problems)))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
