#!/usr/bin/env python3
"""The dump of a drive read from its master file table against the dump of
the walk of the same volume mounted: entry for entry equal, except where a
documented rule says otherwise, each difference accounted for to the byte
from references other than the program (the mount's stat, ntfsinfo):

1. A file's clusters and slack are its allocation over every data stream
   (ntfsinfo: each non-resident $DATA's allocated, or compressed, size; a
   file held in its record has none), where the walk under Wine counts the
   mount's st_blocks of the unnamed stream.
2. A reparse folder is listed from the table (a link counted but not
   entered, a cloud folder walked); the mount shows it as a symbolic link,
   which the walk under Wine does not list.
3. A name the code page cannot spell shows as the table spells it, where
   Wine's listing makes up an 8.3 name: the real names are equal.

usage: parity.py WALK_DUMP MFT_DUMP MOUNT IMAGE
"""
import os
import re
import subprocess
import sys

walk_path, mft_path, mount, image = sys.argv[1:5]
failures = []


def read_dump(path):
    entries, lines = [], {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            fields = line.rstrip('\n').split('\t')
            if fields[0] == 'entry':
                entries.append({
                    'parent': int(fields[2]), 'clusters': int(fields[6]), 'files': int(fields[7]),
                    'dirs': int(fields[8]), 'bytes': int(fields[9]), 'slack': int(fields[10]),
                    'name': fields[14], 'real': fields[15] if len(fields) > 15 else ''})
            else:
                lines[fields[0]] = fields[1:]
    return entries, lines


walk, walk_lines = read_dump(walk_path)
mft, mft_lines = read_dump(mft_path)
cluster = int(walk_lines['volume'][1])
assert mft_lines['read'][0] == 'mft', 'the table was not read from the file table: %s' % mft_lines['read']
assert walk_lines['read'] == ['walk']


def key(entries, i):
    """The entry's path from the root, by real names."""
    parts = []
    while i > 2:
        e = entries[i]
        parts.append(e['real'] or e['name'].split('\\')[-1])
        i = e['parent']
    return '\\'.join(reversed(parts))


def unix(path_key):
    return os.path.join(mount, *path_key.split('\\')) if path_key else mount


def ancestors(entries, i):
    while i >= 0:
        yield i
        i = entries[i]['parent'] if i > 0 else -1


sums = ('clusters', 'files', 'dirs', 'bytes', 'slack')
root_clusters = {'table': mft[1]['clusters'], 'walk': walk[1]['clusters']}
# Rule 2: the table's reparse folders leave, with what they add to each
# folder above them: their sums, one folder and one cluster.
not_entered_links = 0
hidden = set()
for i in range(3, len(mft)):
    k = key(mft, i)
    if mft[i]['parent'] in hidden:
        hidden.add(i)
        continue
    if os.path.islink(unix(k)):
        hidden.add(i)
        tag = int.from_bytes(os.getxattr(unix(k), 'system.ntfs_reparse_data', follow_symlinks=False)[:4], 'little')
        if tag & 0x20000000:
            not_entered_links += 1
        for a in ancestors(mft, mft[i]['parent']):
            if a == 2:
                continue
            for s in sums:
                mft[a][s] -= mft[i][s] + (1 if s in ('clusters', 'dirs') else 0)
kept = [i for i in range(len(mft)) if i not in hidden]

# Rule 1: each file's allocation by ntfsinfo against the mount's st_blocks.
def table_allocation(rel):
    out = subprocess.run(['ntfsinfo', '-f', '-F', '/' + rel, image], capture_output=True, text=True).stdout
    total = 0
    for block in out.split('Dumping attribute ')[1:]:
        if not block.startswith('$DATA') or 'Resident: \t\t No' not in block:
            continue
        packed = re.search(r'Compressed size:\s+(\d+)', block)
        total += int(packed.group(1) if packed else re.search(r'Allocated size:\s+(\d+)', block).group(1))
    return total


def clusters_slack(allocated, size):
    return -(-allocated // cluster), max(0, allocated - size)


walk_index = {key(walk, i): i for i in range(3, len(walk))}
walk_index[''] = 1
for folder, dirs, files in os.walk(mount):
    rel_folder = os.path.relpath(folder, mount).replace(os.sep, '\\')
    rel_folder = '' if rel_folder == '.' else rel_folder
    for name in files:
        path = os.path.join(folder, name)
        st = os.lstat(path)
        rel = os.path.relpath(path, mount)
        walk_c, walk_s = clusters_slack(st.st_blocks * 512, st.st_size)
        table_c, table_s = clusters_slack(table_allocation(rel), st.st_size)
        if (walk_c, walk_s) == (table_c, table_s):
            continue
        if st.st_nlink != 1:
            failures.append('%s: a file of %d names differs (%d, %d against %d, %d)' %
                            (rel, st.st_nlink, table_c, table_s, walk_c, walk_s))
            continue
        for a in ancestors(walk, walk_index[rel_folder]):
            if a != 2:
                walk[a]['clusters'] += table_c - walk_c
                walk[a]['slack'] += table_s - walk_s

# Entry for entry, in order.
mft_keys = [key(mft, i) for i in kept if i > 2]
walk_keys = [key(walk, i) for i in range(3, len(walk))]
if mft_keys != walk_keys:
    failures.append('the entries or their order differ:\n  table %s\n  walk  %s' % (mft_keys, walk_keys))
else:
    for mi, wi in zip([i for i in kept if i > 2], range(3, len(walk))):
        m, w = mft[mi], walk[wi]
        for s in sums:
            if m[s] != w[s]:
                failures.append('%s: %s %d, expected %d' % (key(mft, mi), s, m[s], w[s]))
        if m['name'] != w['name'] and not (m['real'] and m['real'] == w['real'] and '?' in m['name']):
            failures.append('%s: shown as %s, the walk shows %s' % (key(mft, mi), m['name'], w['name']))
        if mft[m['parent']]['name'] != walk[w['parent']]['name'] and m['parent'] > 2:
            failures.append('%s: another parent' % key(mft, mi))
for s in sums:
    if mft[1][s] != walk[1][s]:
        failures.append('root: %s %d, expected %d' % (s, mft[1][s], walk[1][s]))
# (不明): the clusters in use that the folders leave; the same after the rules.
in_use = int(walk_lines['volume'][4]) - int(walk_lines['volume'][3])
for name, entries in (('table', mft), ('walk', walk)):
    if entries[2]['clusters'] != max(0, in_use - root_clusters[name]) or entries[2]['bytes'] != entries[2]['clusters'] * cluster:
        failures.append('%s: (不明) %d clusters, %d bytes' % (name, entries[2]['clusters'], entries[2]['bytes']))
if mft_lines['hardlinks'] != walk_lines['hardlinks']:
    failures.append('hard links: table %s, walk %s' % (mft_lines['hardlinks'], walk_lines['hardlinks']))
skipped_m, skipped_w = [int(x) for x in mft_lines['skipped']], [int(x) for x in walk_lines['skipped']]
if skipped_m[0] - not_entered_links != skipped_w[0] or skipped_m[1:] != skipped_w[1:]:
    failures.append('skipped: table %s, walk %s, links hidden from the walk %d' % (skipped_m, skipped_w, not_entered_links))
if int(mft_lines['read'][2]) != 0:
    failures.append('records skipped on a sound volume: %s' % mft_lines['read'][2])

print('%d entries compared, %d reparse folders, %d files' % (len(walk_keys), len(hidden), walk[1]['files']))
for f in failures:
    print('FAIL', f)
sys.exit(1 if failures else 0)
