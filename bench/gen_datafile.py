#!/usr/bin/env python3
"""Writes an ID data file (Zelvo.dat layout, Shift-JIS, CR LF) of N entries for the benchmarks.

Usage: gen_datafile.py N OUTPUT [--seed S]
Handles, nicknames and memos mix Japanese and ASCII; both date forms occur; a few entries are in
the trash; groups A-D only (all built in).
"""
import argparse
import random

KANA = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
WORDS = ["ゴルフ", "山歩き", "カメラ", "釣り", "Tokyo", "Osaka", "fan", "club", "ネット", "パソコン"]


def text(rng, lo, hi):
    return "".join(rng.choice(KANA) for _ in range(rng.randint(lo, hi)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("count", type=int)
    ap.add_argument("output")
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    out = bytearray()
    for i in range(args.count):
        # Letters spread over the whole range; the digits alone keep the first 100,000 IDs apart.
        n = (i * 7919) % 17576
        letters = chr(65 + n // 676) + chr(65 + n // 26 % 26) + chr(65 + n % 26)
        uid = f"{letters}{i % 100000:05d}"
        handle = (text(rng, 2, 8) + rng.choice(WORDS)).encode("cp932")
        handle_line = handle.ljust(40, b" ") + (text(rng, 0, 4).encode("cp932"))
        memo = (rng.choice(WORDS) + " " + text(rng, 0, 12)).encode("cp932")
        group = rng.choice("AAABBCCDD") if rng.random() > 0.01 else "E"
        flags = group + rng.choice(" A") + rng.choice("  P")
        y, m, d = rng.randint(1990, 2005), rng.randint(1, 12), rng.randint(1, 28)
        reg = f"{y:4d}{m:2d}{d:2d}" if rng.random() < 0.7 else f"{y:4d}{m:02d}{d:02d}"
        upd = f"{y + 1:4d}{m:2d}{d:2d}"
        attr = (flags + reg + upd + rng.choice("  M")).encode("ascii")
        out += uid.encode("ascii") + b"\r\n" + handle_line + b"\r\n" + memo + b"\r\n" + attr + b"\r\n"
    with open(args.output, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
