#!/usr/bin/env python3
"""Source trees of the side-by-side comparison, made once and reused.

  big    48 files of 16 MiB of random data
  small  100,000 files of 1,000 to 1,500 random bytes in 200 folders with long names
  many   198,000 empty files in 1,000 folders: with its folders and the tree's own folder as the
         top-level folder of the image, 199,001 entries, within the compilation's 200,000

Each tree is built under NAME.partial and renamed to NAME when complete, so an interrupted run
leaves nothing that looks finished. The contents come from a fixed seed: every machine measures
the same bytes. Names stay within 64 characters so that every tool can record them as Joliet
names without truncating.
"""
import os
import random
import shutil
import sys

MiB = 1 << 20
BIG_BYTES = 48 * 16 * MiB


def make_big(root, rnd):
    for i in range(48):
        with open(os.path.join(root, f"video recording {i:02d}.mkv"), "wb") as f:
            for _ in range(BIG_BYTES // 48 // MiB):
                f.write(rnd.randbytes(MiB))


def make_small(root, rnd):
    pool = rnd.randbytes(4 * MiB)  # contents are slices of one random pool: cheap and incompressible
    for d in range(200):
        folder = os.path.join(root, f"Scanned documents of the regional office, batch {d:03d}")
        os.mkdir(folder)
        for i in range(500):
            size = rnd.randint(1000, 1500)
            start = rnd.randrange(len(pool) - size)
            name = f"Invoice of the customer account {d * 500 + i:06d}, page one.txt"
            with open(os.path.join(folder, name), "wb") as f:
                f.write(pool[start:start + size])


def make_many(root, _rnd):
    for d in range(1000):
        folder = os.path.join(root, f"folder {d:04d}")
        os.mkdir(folder)
        for i in range(198):
            open(os.path.join(folder, f"empty file {d * 198 + i:06d}.dat"), "wb").close()


TREES = {"big": make_big, "small": make_small, "many": make_many}


def make(base, names):
    """Makes the trees of names under base that are not there yet."""
    os.makedirs(base, exist_ok=True)
    for name in names:
        final = os.path.join(base, name)
        if os.path.isdir(final):
            continue
        partial = final + ".partial"
        shutil.rmtree(partial, ignore_errors=True)
        os.mkdir(partial)
        print(f"peer_trees: making {name} in {base}", file=sys.stderr, flush=True)
        TREES[name](partial, random.Random(f"ardovan-{name}"))
        os.rename(partial, final)


def main():
    if len(sys.argv) < 3 or any(name not in TREES for name in sys.argv[2:]):
        sys.exit("usage: peer_trees.py DIR big|small|many...")
    make(sys.argv[1], sys.argv[2:])


if __name__ == "__main__":
    main()
