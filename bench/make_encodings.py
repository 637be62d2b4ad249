#!/usr/bin/env python3
"""Writes the UTF-8, EUC-JP and ISO-2022-JP forms of a Shift-JIS (CP932) capture log.

    python3 bench/make_encodings.py LOG

makes LOG.utf8, LOG.euc and LOG.jis beside it. EUC-JP maps by JIS code point (CP932 0x817C is
EUC-JP 0xA1DD), half-width katakana become 0x8E pairs; ISO-2022-JP is that EUC-JP with each run of
double-byte characters between ESC $ B and ESC ( B and each run of katakana between ESC ( I and
ESC ( B.
"""
import re
import subprocess
import sys


def sjis_to_euc(data):
    out = bytearray()
    i, n = 0, len(data)
    while i < n:
        c = data[i]
        if c < 0x80:
            out.append(c)
            i += 1
        elif 0xA1 <= c <= 0xDF:
            out += bytes([0x8E, c])
            i += 1
        else:
            t = data[i + 1]
            j1 = (c - (0x70 if c <= 0x9F else 0xB0)) * 2
            if t < 0x9F:
                j1 -= 1
                j2 = t - (0x20 if t > 0x7F else 0x1F)
            else:
                j2 = t - 0x7E
            out += bytes([j1 | 0x80, j2 | 0x80])
            i += 2
    return bytes(out)


def chunks(data, size=1 << 22):
    # Cut at line ends so that no character is split.
    start = 0
    while start < len(data):
        end = data.find(b"\n", start + size)
        end = len(data) if end < 0 else end + 1
        yield data[start:end]
        start = end


def euc_to_jis(data):
    # One pass, so that a kana pair and a kanji pair are never taken out of step.
    runs = re.compile(rb"((?:\x8E[\xA1-\xDF])+)|((?:[\xA1-\xFE][\xA1-\xFE])+)")

    def shift(m):
        if m.group(1):
            return b"\x1b(I" + bytes(b & 0x7F for b in m.group(1)[1::2]) + b"\x1b(B"
        return b"\x1b$B" + bytes(b & 0x7F for b in m.group(2)) + b"\x1b(B"

    return runs.sub(shift, data)


def to_euc(part):
    # glibc's EUC-JP-MS maps CP932 by JIS code point too, and is much faster than the loop here.
    try:
        done = subprocess.run(["iconv", "-f", "CP932", "-t", "EUC-JP-MS"], input=part, capture_output=True)
        if done.returncode == 0:
            return done.stdout
    except OSError:
        pass
    return sjis_to_euc(part)


def main():
    log = sys.argv[1]
    with open(log, "rb") as f:
        data = f.read()
    with open(log + ".utf8", "wb") as u, open(log + ".euc", "wb") as e, open(log + ".jis", "wb") as j:
        for part in chunks(data):
            u.write(part.decode("cp932").encode("utf-8"))
            euc = to_euc(part)
            e.write(euc)
            j.write(euc_to_jis(euc))


if __name__ == "__main__":
    main()
