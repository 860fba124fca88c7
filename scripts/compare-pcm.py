#!/usr/bin/env python3
"""Compares two raw signed 16-bit little-endian PCM files.

usage: compare-pcm.py DECODED REFERENCE
Prints: samples, compared samples, maximum difference, RMS, PSNR (dB) and the
count of samples that differ by more than 1.
"""
import math
import sys
from array import array


def load(path):
    data = array('h')
    with open(path, 'rb') as f:
        raw = f.read()
    data.frombytes(raw[: len(raw) // 2 * 2])
    if sys.byteorder != 'little':
        data.byteswap()
    return data


a, b = load(sys.argv[1]), load(sys.argv[2])
n = min(len(a), len(b))
worst = 0
square = 0
over1 = 0
for x, y in zip(a[:n], b[:n]):
    d = abs(x - y)
    if d > worst:
        worst = d
    if d > 1:
        over1 += 1
    square += d * d
rms = math.sqrt(square / n) if n else 0.0
psnr = float('inf') if rms == 0 else 20 * math.log10(32768 / rms)
print(f"samples={len(a)} reference={len(b)} compared={n} maxdiff={worst} rms={rms:.4f} psnr={psnr:.1f} over1={over1}")
