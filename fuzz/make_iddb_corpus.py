#!/usr/bin/env python3
"""Writes the seed corpora of the ID database fuzz targets into fuzz/corpus/:
fuzz_datafile, fuzz_groupfile and fuzz_import_A .. fuzz_import_F.

Data-file seeds are slices of a small file from bench/gen_datafile.py plus the awkward cases
(short attribute lines, bad IDs, cut records); import seeds are records of each layout without the
bytes the fuzz target puts in front. Python 3 standard library only.
"""

import hashlib
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "fuzz", "corpus")


def sj(text):
    return text.encode("cp932")


def write(name, seeds):
    folder = os.path.join(OUT, name)
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        os.remove(os.path.join(folder, old))
    for seed in seeds:
        with open(os.path.join(folder, hashlib.sha1(seed).hexdigest()), "wb") as f:
            f.write(seed)


def record(uid, handle_line, memo, attribute):
    return b"\r\n".join([uid, handle_line, memo, attribute]) + b"\r\n"


def fixed(size, fields):
    out = bytearray(b" " * size)
    for column, text in fields:
        out[column - 1:column - 1 + len(text)] = text
    return bytes(out)


def datafile_seeds():
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "Zelvo.dat")
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "gen_datafile.py"), "40", path],
                       check=True)
        with open(path, "rb") as f:
            generated = f.read()
    records = generated.split(b"\r\n")
    seeds = [b"\r\n".join(records[i:i + 8]) + b"\r\n" for i in range(0, len(records) - 1, 8)]
    one = record(b"ABC12345", sj("やまだ").ljust(40) + sj("ニック"), sj("メモ"), b"AAP1999 1 52000 2 3M")
    seeds += [
        one,
        record(b"abc12345", b"h", b"", b"A"),
        record(b"ABC12345", b"h", b"m", b"Q  1999") + record(b"XYZ00001", b"h", b"m", b"E P"),
        one + b"ABCD1234\r\nh\r\nm\r\nA\r\n",
        one + b"XYZ00001\r\nh\r\n",
        one + b"\r\n",
        one.replace(b"\r\n", b"\n"),
        b"",
    ]
    return seeds


def groupfile_seeds():
    return [
        sj("AグループＡ\r\nBグループＢ\r\nCグループＣ\r\nDグループＤ\r\nEごみ箱\r\n"),
        b"Bbee\r\nxsmall\r\nAant\r\n\r\nF\r\n",
        sj("Z最後\r\n　\r\n") + b"\x81\x40\r\n\tA\r\nQ\x00\rq\n",
        b"",
    ]


def import_seeds():
    header_rest = b"2.0".ljust(147 - 5)
    a = fixed(147, [(1, b"AAA00001"), (9, b"handle"), (29, b"90/01/02"), (37, b"91/12/31"), (48, b"memo")])
    c = fixed(74, [(1, b"CCC00001"), (9, b"handle"), (29, b"memo"), (56, b"1997/08/09")])
    e = fixed(96, [(1, b"EEE00001"), (9, b"handle"), (49, b"80/02/03"), (57, b"memo")])
    f = fixed(100, [(1, b"FFF00002"), (10, b"hand"), (31, b"19960102"), (46, b"20000304"), (61, b"memo")])
    return {
        "A": [header_rest + a + a[:100], header_rest + a * 3, header_rest],
        "B": [b"h\r\nm\r\nCAP1998 3 42001 2 3M\r\nBBB00002\r\nh\r\n\r\nQ  19990101\r\n", b"short"],
        "C": [(b"x" + c[1:]) + c + c[:73], c * 4],
        "D": [b"\thand\tm1\tm2\tm3\tm4\tm5\tm6\tx\t80/01/02\t81/03/04\r\nDDD00002\tonly\r\n", b"\r\n\r\n"],
        "E": [(b"x" + e[1:]) + e + e[:95], e * 3],
        "F": [b"header\r\n" + f + b"\r\n" + f[:40] + b"\r\nbad\r\n", b"h\r\n" + f * 2],
    }


def main():
    write("fuzz_datafile", datafile_seeds())
    write("fuzz_groupfile", groupfile_seeds())
    for layout, seeds in import_seeds().items():
        write("fuzz_import_" + layout, seeds)


if __name__ == "__main__":
    main()
