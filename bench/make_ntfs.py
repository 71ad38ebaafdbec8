#!/usr/bin/env python3
"""Fills a mounted NTFS volume for the file-table benchmark: FILES files in
folders of a thousand, two levels deep. Every tenth file holds 5000 bytes
(clusters of its own), the rest up to 400 bytes (held in their records).
usage: make_ntfs.py MOUNT FILES"""
import os
import sys

mount, files = sys.argv[1], int(sys.argv[2])
per_folder = 1000
folders = (files + per_folder - 1) // per_folder
made = 0
for f in range(folders):
    folder = os.path.join(mount, 'top%02d' % (f % 20), 'sub%04d' % f)
    os.makedirs(folder, exist_ok=True)
    for i in range(min(per_folder, files - made)):
        size = 5000 if i % 10 == 0 else (i * 37) % 400
        fd = os.open(os.path.join(folder, 'file%04d.dat' % i), os.O_CREAT | os.O_WRONLY)
        if size:
            os.write(fd, b'v' * size)
        os.close(fd)
        made += 1
