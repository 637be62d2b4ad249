#!/usr/bin/env python3
"""Writes the seed corpora fuzz/corpus/fuzz_scanner and fuzz/corpus/fuzz_text.

Seeds come from the sample logs in examples/ and from a small log of bench/gen_log.py, so every
screen layout the scanner knows is in them. Scanner seeds are pieces of a few kilobytes cut at line
ends, each behind one byte that chooses the start context; text seeds are single lines and the
column slices the recognisers see. Python 3 standard library only.
"""

import glob
import hashlib
import os
import random
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "fuzz", "corpus")
PIECE = 3000          # bytes of log per scanner seed
SCANNER_SEEDS = 120
TEXT_SEEDS = 300


def logs():
    found = []
    for path in sorted(glob.glob(os.path.join(ROOT, "examples", "*.log"))):
        with open(path, "rb") as f:
            found.append(f.read())
    with tempfile.TemporaryDirectory() as tmp:
        gen = os.path.join(tmp, "gen.log")
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "gen_log.py"), gen,
                        "--size-mb", "0.2", "--seed", "7"], check=True, stderr=subprocess.DEVNULL)
        with open(gen, "rb") as f:
            found.append(f.read())
    return found


def pieces(data):
    start = 0
    while start < len(data):
        end = data.rfind(b"\r\n", start, start + PIECE)
        end = len(data) if end <= start or start + PIECE >= len(data) else end + 2
        yield data[start:end]
        start = end


def write(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    for seed in seeds:
        name = hashlib.sha1(seed).hexdigest()
        with open(os.path.join(folder, name), "wb") as f:
            f.write(seed)


def main():
    rng = random.Random(1996)
    sources = logs()
    all_pieces = [p for data in sources for p in pieces(data)]
    chosen = all_pieces if len(all_pieces) <= SCANNER_SEEDS else rng.sample(all_pieces, SCANNER_SEEDS)
    # Mostly "no known context", as a log usually starts; some pieces start inside a forum,
    # a real-time conference, a PATIO, the CB simulator or a mail book.
    starts = [0, 0, 0, 1, 3, 4, 5, 8, 9, 10]
    scanner = {bytes([rng.choice(starts)]) + p for p in chosen}

    lines = sorted({line for data in sources for line in data.split(b"\r\n") if 0 < len(line) <= 100})
    text = set(rng.sample(lines, min(TEXT_SEEDS, len(lines))))
    for line in rng.sample(lines, min(100, len(lines))):
        text.add(line[:8])
        text.add(line[-5:])
    write(os.path.join(OUT, "fuzz_scanner"), sorted(scanner))
    write(os.path.join(OUT, "fuzz_text"), sorted(text))
    print(f"fuzz_scanner: {len(scanner)} seeds, fuzz_text: {len(text)} seeds")


if __name__ == "__main__":
    main()
