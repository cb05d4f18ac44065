#!/usr/bin/env python3
"""The benchmark corpus: N files of log-uniform sizes (1 KiB to 4 MiB, or to
--max-kib), half text-like (deflates to about a third), half random bytes, in
N/50 + 1 folders; each file deflated into its own zip, as a release ships
them.

  make_corpus.py [--max-kib K] <files> <tree/> <zips/> [<directory list> <release>]

tree/Zudezud/Resources/setNN/fileNNNN.dat are the files, zips/ mirrors them
as <name>.zip. With a directory list path it also writes the release's
"directory.txt" (DIR/FILE lines with each file's MD5) for the engine.
Deterministic: the same count gives the same corpus.
"""
import hashlib
import math
import multiprocessing
import os
import random
import sys
import zipfile

TOP = "Zudezud"
DATE = (2021, 3, 4, 5, 6, 8)


def plan(count, max_size):
    rnd = random.Random(21)
    folders = count // 50 + 1
    out = []
    for i in range(count):
        size = int(math.exp(rnd.uniform(math.log(1024), math.log(max_size))))
        rel = "%s/Resources/set%02d/file%04d.dat" % (TOP, i % folders, i)
        out.append((rel, size, i % 2 == 0, i))
    out.sort()
    return out


def text_pool():
    rnd = random.Random(7)
    words = ["".join(rnd.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9)))
             for _ in range(4000)]
    return " ".join(rnd.choice(words) for _ in range(1500000)).encode()[: 8 << 20]


POOL = None


def make_one(args):
    rel, size, text, seed, tree, zips = args
    if text:
        start = random.Random(seed).randrange(len(POOL) - size)
        data = POOL[start:start + size]
    else:
        data = os.urandom(size)
    path = os.path.join(tree, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    zpath = os.path.join(zips, rel + ".zip")
    os.makedirs(os.path.dirname(zpath), exist_ok=True)
    info = zipfile.ZipInfo(os.path.basename(rel), DATE)
    info.external_attr = 0o100644 << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    with zipfile.ZipFile(zpath, "w") as z:
        z.writestr(info, data, compresslevel=6)
    return rel, hashlib.md5(data).hexdigest(), os.path.getsize(zpath), size


def init():
    global POOL
    POOL = text_pool()


def main():
    args = sys.argv[1:]
    max_size = 4 << 20
    if args[0] == "--max-kib":
        max_size, args = int(args[1]) << 10, args[2:]
    count, tree, zips = int(args[0]), args[1], args[2]
    jobs = [(rel, size, text, seed, tree, zips) for rel, size, text, seed in plan(count, max_size)]
    with multiprocessing.Pool(4, initializer=init) as pool:
        done = pool.map(make_one, jobs, chunksize=8)
    if len(args) > 4:
        listing, release = args[3], args[4]
        lines = ["I", "900 version", "INSTALLER", ""]
        last_dir = None
        for rel, md5, zsize, size in done:
            folder, name = rel.rsplit("/", 1)
            if folder != last_dir:
                lines.append("DIR %s/" % folder)
                last_dir = folder
            lines.append("FILE 0 0 0 %d %d %s %s" % ((zsize + 1023) // 1024, (size + 1023) // 1024,
                                                     md5, name))
        with open(listing, "w") as f:
            f.write("\n".join(lines) + "\n")
    total = sum(d[3] for d in done)
    print("corpus: %d files, %d MiB, %d MiB zipped" %
          (len(done), total >> 20, sum(d[2] for d in done) >> 20))


if __name__ == "__main__":
    main()
