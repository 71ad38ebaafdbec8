#!/usr/bin/env python3
"""Builds a synthetic directory tree of a realistic shape for the scan benchmark.

make_tree.py ROOT DIRS FILES

Directories fan out irregularly (a few broad folders, many small ones, depth
up to about ten); files land mostly in the leaves with sizes spread from 0
bytes to some megabytes (log-uniform), all sparse so the tree is cheap.
"""
import os
import random
import sys


def main():
    root, dirs, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(20261207)
    os.makedirs(root, exist_ok=True)
    made = [(root, 0)]
    frontier = [(root, 0)]
    while len(made) - 1 < dirs:
        parent, depth = frontier[rng.randrange(len(frontier))]
        if depth >= 10:
            continue
        fan = 1 + int(rng.paretovariate(1.2)) % 40
        for _ in range(fan):
            if len(made) - 1 >= dirs:
                break
            path = os.path.join(parent, "d%06d" % len(made))
            os.mkdir(path)
            made.append((path, depth + 1))
            frontier.append((path, depth + 1))
    exts = ["txt", "dll", "exe", "png", "dat", "h", "cpp", "jpg"]
    for i in range(files):
        parent = made[rng.randrange(len(made))][0]
        size = 0 if rng.random() < 0.05 else int(10 ** rng.uniform(0, 7.3))
        path = os.path.join(parent, "f%07d.%s" % (i, rng.choice(exts)))
        with open(path, "wb") as f:
            f.truncate(size)


if __name__ == "__main__":
    main()
