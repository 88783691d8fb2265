"""Shared pieces of the interoperability scripts: trees as the peers (olefile, libgsf) see them,
trees as a plan describes them, and the compound file name order.

A tree is a list of (depth, kind, name, size, content) in depth-first order, kind "storage" or
"stream", content None for storages. Siblings are put in the format's own order (shorter names
first, then upper-cased UTF-16 units): that is how our reader enumerates, while olefile sorts by
Python string order and libgsf by its own key, so their listings are re-sorted before comparing.
"""

import struct
import sys

import gi
import olefile

gi.require_version('Gsf', '1')
from gi.repository import Gsf  # noqa: E402

# Peers walk sibling trees recursively; a chain of a few thousand siblings is legitimate.
sys.setrecursionlimit(20000)


def upcase_unit(c):
    """The format's simple upper-casing of one UTF-16 unit."""
    if ord('a') <= c <= ord('z'):
        return c - 32
    if c < 0xE0:
        return c
    if c <= 0xFE:
        return c if c == 0xF7 else c - 32
    if c == 0xFF:
        return 0x178
    if 0x100 <= c <= 0x17F:
        if 0x139 <= c <= 0x148 or 0x179 <= c <= 0x17E:
            return c if c & 1 else c - 1
        if c in (0x131, 0x138, 0x149, 0x17F):
            return c
        return c - 1 if c & 1 else c
    if 0x3B1 <= c <= 0x3CB and c != 0x3C2:
        return c - 32
    if 0x430 <= c <= 0x44F:
        return c - 32
    if 0x450 <= c <= 0x45F:
        return c - 80
    if 0xFF41 <= c <= 0xFF5A:
        return c - 32
    return c


def name_key(name):
    data = name.encode('utf-16-le', 'surrogatepass')
    units = struct.unpack('<%dH' % (len(data) // 2), data)
    return (len(units), [upcase_unit(u) for u in units])


_SHIFT_TABLES = [bytes((b + k) & 0xFF for b in range(256)) for k in range(256)]


def sample_content(seed, size):
    """Byte i is (seed*7 + (i%251)*13 + i//251) & 0xFF, as the C++ side computes it."""
    base = bytes((seed * 7 + j * 13) & 0xFF for j in range(251))
    blocks = (size + 250) // 251
    data = b''.join(base.translate(_SHIFT_TABLES[k & 0xFF]) for k in range(blocks))
    return data[:size]


def fnv1a64(data):
    h = 0xCBF29CE484222325
    for b in data:
        h = ((h ^ b) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h


def _flatten(node, depth, out):
    """node: list of (name, kind, size, content, children) -> out, siblings in format order."""
    for name, kind, size, content, children in sorted(node, key=lambda n: name_key(n[0])):
        out.append((depth, kind, name, size, content))
        if kind == 'storage':
            _flatten(children, depth + 1, out)
    return out


def plan_tree(plan):
    """The tree a plan describes. Plan items: ('storage', path) or ('stream', path, size, seed),
    path a tuple of names, parents first."""
    storages = {(): []}
    for item in plan:
        path = item[1]
        siblings = storages[path[:-1]]
        if item[0] == 'storage':
            children = []
            storages[path] = children
            siblings.append((path[-1], 'storage', 0, None, children))
        else:
            size, seed = item[2], item[3]
            siblings.append((path[-1], 'stream', size, sample_content(seed, size), []))
    return _flatten(storages[()], 0, [])


def olefile_tree(path, strict):
    """The tree as olefile reads it; strict makes every defect it notices an error."""
    level = olefile.DEFECT_INCORRECT if strict else olefile.DEFECT_FATAL
    ole = olefile.OleFileIO(path, raise_defects=level)
    try:
        def convert(entry, prefix):
            nodes = []
            for kid in entry.kids:
                kid_path = prefix + [kid.name]
                if kid.entry_type == olefile.STGTY_STORAGE:
                    nodes.append((kid.name, 'storage', 0, None, convert(kid, kid_path)))
                elif kid.entry_type == olefile.STGTY_STREAM:
                    data = ole.openstream(kid_path).read()
                    nodes.append((kid.name, 'stream', kid.size, data, []))
                else:
                    raise AssertionError('unexpected entry type %d for %r' % (kid.entry_type, kid.name))
            return nodes
        return _flatten(convert(ole.root, []), 0, [])
    finally:
        ole.close()


def gsf_tree(path):
    """The tree as libgsf reads it. Streams report -1 children, storages 0 or more."""
    def convert(infile):
        nodes = []
        for i in range(infile.num_children()):
            child = infile.child_by_index(i)
            name = infile.name_by_index(i)
            if child.num_children() >= 0:
                nodes.append((name, 'storage', 0, None, convert(child)))
            else:
                size = child.props.size
                data = bytes(child.read(size)) if size else b''
                nodes.append((name, 'stream', size, data, []))
        return nodes
    return _flatten(convert(Gsf.InfileMSOle.new(Gsf.InputStdio.new(path))), 0, [])


def gsf_write(path, plan, sector_size=512):
    """Writes a plan's tree with libgsf's compound file writer; 4096-byte sectors make it write
    a version 4 file."""
    outfile = Gsf.OutfileMSOle.new_full(Gsf.OutputStdio.new(path), sector_size, 64)
    open_storages = {(): outfile}
    # libgsf writes a storage's children when the storage is closed, so close deepest first.
    for item in plan:
        parent = open_storages[item[1][:-1]]
        if item[0] == 'storage':
            open_storages[item[1]] = parent.new_child(item[1][-1], True)
        else:
            stream = parent.new_child(item[1][-1], False)
            data = sample_content(item[3], item[2])
            if data and not stream.write(data):
                raise AssertionError('libgsf could not write %r' % (item[1],))
            stream.close()
    for storage_path in sorted(open_storages, key=len, reverse=True):
        open_storages[storage_path].close()


def describe(tree):
    return ['%d %s %r %d' % item[:4] for item in tree]


def compare(label, expected, actual):
    """Returns a list of differences between two trees, contents included."""
    problems = []
    exp_lines, act_lines = describe(expected), describe(actual)
    if exp_lines != act_lines:
        for i in range(max(len(exp_lines), len(act_lines))):
            e = exp_lines[i] if i < len(exp_lines) else '(none)'
            a = act_lines[i] if i < len(act_lines) else '(none)'
            if e != a:
                problems.append('%s: element %d: expected %s, got %s' % (label, i, e, a))
                break
        return problems
    for e, a in zip(expected, actual):
        if e[4] != a[4]:
            problems.append('%s: content of %r differs' % (label, e[2]))
    return problems


EDGE_SIZES = [0, 1, 63, 64, 4095, 4096, 4097, 100000]


def edge_plan():
    """Property-set style names, non-ASCII names, nesting, an empty storage and the sizes around
    the mini sector, sector and mini stream boundaries."""
    plan = [
        ('stream', ('\x05SummaryInformation',), 200, 1),
        ('stream', ('\x01CompObj',), 63, 2),
        ('stream', ('Character',), 700, 3),
        ('storage', ('\x05Props',)),
        ('stream', ('\x05Props', 'Inner'), 10, 4),
        ('storage', ('Empty',)),
        ('storage', ('Anims',)),
        ('storage', ('Anims', 'Deeper')),
        ('storage', ('Anims', 'Deeper', 'Deepest')),
        ('stream', ('Anims', 'Deeper', 'Deepest', 'Leaf'), 4097, 5),
        ('stream', ('Ωmega',), 4096, 6),
        ('stream', ('Привет мир',), 1, 7),
        ('stream', ('Ünïcødé names',), 64, 8),
        ('stream', ('ABCDEFGHIJKLMNOPQRSTUVWXYZ01234',), 5, 9),  # 31 units
    ]
    names = ['Idle', 'Wave', 'a', 'Zz', 'GestureLeft', 'greet', 'Hide', 'show']
    for index, (name, size) in enumerate(zip(names, EDGE_SIZES)):
        plan.append(('stream', ('Anims', name), size, 10 + index))
    return plan


def wide_plan(count):
    """One storage with many siblings of mixed name lengths, so that order matters."""
    plan = [('storage', ('Many',))]
    for i in range(count):
        plan.append(('stream', ('Many', 'n%d' % (i * 7919 % count)), i % 130, 100 + i))
    return plan
