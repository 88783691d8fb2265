"""`quorvel-check cat` against olefile on every stream of the real files: the same bytes, or, in a
file SOURCES.tsv calls damaged, status 2 with the reader's reason; status 2 with a reason for a
storage and for a missing element.    cat_vs_olefile.py QUORVEL_CHECK REALWORLD_DIR
"""
import os
import subprocess
import sys

import olefile


def main():
    program, folder = sys.argv[1], sys.argv[2]
    with open(os.path.join(folder, 'SOURCES.tsv'), encoding='utf-8') as sources:
        damaged = {line.split('\t')[0] for line in sources if 'damaged' in line}
    equal = refused = files = 0
    failures = []

    def cat(file_name, path):
        return subprocess.run([program, 'cat', file_name, '/'.join(path).encode('utf-8', 'surrogateescape')],
                              capture_output=True)

    def refused_with(file_name, path, reason):
        result = cat(file_name, path)
        if result.returncode != 2 or reason not in result.stderr:
            failures.append('%s %s was not refused: %s' % (file_name, path, result.stderr))

    for name in sorted(os.listdir(folder)):
        file_name = os.path.join(folder, name)
        if name.endswith(('.expected', '.md', '.tsv')) or not olefile.isOleFile(file_name):
            continue
        files += 1
        with olefile.OleFileIO(file_name) as ole:
            for path in ole.listdir(streams=True, storages=False):
                if any('/' in part for part in path):
                    continue
                result = cat(file_name, path)
                if name in damaged and result.returncode == 2 and b': Cannot read' in result.stderr:
                    refused += 1
                elif result.returncode == 0 and result.stdout == ole.openstream(path).read():
                    equal += 1
                else:
                    failures.append('%s %s: status %d, %s' % (name, path, result.returncode, result.stderr))
            for path in ole.listdir(streams=False, storages=True)[:1]:
                refused_with(file_name, path, b'a storage, not a stream')
        refused_with(file_name, ['no such stream here'], b'no such element')
    print('%d files: %d streams equal to olefile\'s, %d of damaged files refused with a reason'
          % (files, equal, refused))
    print('\n'.join(failures) or 'all equal')
    sys.exit(1 if failures or equal == 0 else 0)


main()
