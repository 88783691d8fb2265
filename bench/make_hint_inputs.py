#!/usr/bin/env python3
# Inputs for timing the checker's nearest-name hints: a character of N animations and a list of
# N animation names, none of which the character holds, in OUT/ (c.acs, AvailAnim.txt,
# AvailState.txt). Shapes: "random", names of 6 to 14 random letters, few of them near another;
# "prefix", "Animation" and 5 random letters, which share a long beginning and defeat the
# search's index, so that the search reaches its limit of work.
#   make_hint_inputs.py N SHAPE OUT PACK    (PACK: the quorvel-pack program)
import os
import random
import shutil
import subprocess
import sys

count, shape, out, pack = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
rnd = random.Random(42)


def name():
    letters = lambda n: ''.join(rnd.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(n))
    return letters(rnd.randint(6, 14)) if shape == 'random' else 'Animation' + letters(5)


held = set()
while len(held) < count:
    held.add(name())
listed = []
while len(listed) < count:
    candidate = name()
    if candidate not in held:
        listed.append(candidate)
folder = os.path.join(out, 'character')
os.makedirs(folder, exist_ok=True)
with open(os.path.join(folder, 'Character'), 'w') as definition:
    definition.write('Name=Bench\n')
for animation in held:
    with open(os.path.join(folder, animation), 'w') as frames:
        frames.write('f')
with open(os.path.join(out, 'AvailAnim.txt'), 'w') as names:
    names.write('\r\n'.join(listed) + '\r\n')
with open(os.path.join(out, 'AvailState.txt'), 'w') as names:
    names.write('Idle\r\n')
subprocess.run([pack, folder, os.path.join(out, 'c.acs')], check=True)
shutil.rmtree(folder)
