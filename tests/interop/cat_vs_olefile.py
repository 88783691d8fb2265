"""`quorvel-check cat` against olefile on every stream of the real files: the same bytes for every
stream olefile reads, status 2 with a reason for a storage and for a missing element. A file that
SOURCES.tsv calls damaged may instead have a stream refused with status 2 and the reader's reason,
where olefile reads whatever its chains reach.

    cat_vs_olefile.py QUORVEL_CHECK REALWORLD_DIR
"""

import os
import subprocess
import sys

import olefile


def element_argument(path):
    return '/'.join(path).encode('utf-8', 'surrogateescape')


def cat(program, file_name, element):
    return subprocess.run([program, 'cat', file_name, element], capture_output=True)


def damaged_files(folder):
    with open(os.path.join(folder, 'SOURCES.tsv'), encoding='utf-8') as sources:
        return {line.split('\t')[0] for line in sources if 'damaged' in line}


def main():
    program, folder = sys.argv[1], sys.argv[2]
    damaged = damaged_files(folder)
    equal = files = refused = 0
    failures = []
    for name in sorted(os.listdir(folder)):
        file_name = os.path.join(folder, name)
        if name.endswith(('.expected', '.md', '.tsv')) or not olefile.isOleFile(file_name):
            continue
        files += 1
        with olefile.OleFileIO(file_name) as ole:
            for path in ole.listdir(streams=True, storages=False):
                if any('/' in part for part in path):
                    continue
                result = cat(program, file_name, element_argument(path))
                if name in damaged and result.returncode == 2 and b': Cannot read' in result.stderr:
                    refused += 1
                elif result.returncode != 0 or result.stdout != ole.openstream(path).read():
                    failures.append('%s: %s: status %d, %s' % (name, path, result.returncode, result.stderr))
                else:
                    equal += 1
            for path in ole.listdir(streams=False, storages=True)[:1]:
                storage = cat(program, file_name, element_argument(path))
                if storage.returncode != 2 or b'a storage, not a stream' not in storage.stderr:
                    failures.append('%s: storage %s was not refused: %s' % (name, path, storage.stderr))
        missing = cat(program, file_name, b'no such stream here')
        if missing.returncode != 2 or b'no such element' not in missing.stderr:
            failures.append('%s: a missing element was not refused: %s' % (name, missing.stderr))
    print('%d files: %d streams equal to olefile\'s, %d of damaged files refused with a reason'
          % (files, equal, refused))
    for failure in failures:
        print(failure)
    if failures or equal == 0:
        sys.exit(1)
    print('all equal')


if __name__ == '__main__':
    main()
