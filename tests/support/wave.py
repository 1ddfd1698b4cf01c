#!/usr/bin/env python3
"""Writes a wave file of 8-bit mono silence to standard output.
usage: wave.py SECONDS [RATE]   (RATE samples a second, 8000 unless given)"""
import struct
import sys

seconds = float(sys.argv[1])
rate = int(sys.argv[2]) if len(sys.argv) > 2 else 8000
n = int(seconds * rate)
sys.stdout.buffer.write(b"RIFF" + struct.pack("<I4s4sIHHIIHH4sI", 36 + n, b"WAVE", b"fmt ", 16, 1, 1, rate, rate,
                                              1, 8, b"data", n) + b"\x80" * n)
