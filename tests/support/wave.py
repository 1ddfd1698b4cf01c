#!/usr/bin/env python3
"""Writes a wave of 8-bit mono silence to standard output. usage: wave.py SECONDS [RATE (8000)]"""
import struct, sys
rate = int(sys.argv[2]) if len(sys.argv) > 2 else 8000
n = int(float(sys.argv[1]) * rate)
sys.stdout.buffer.write(b"RIFF" + struct.pack("<I4s4sIHHIIHH4sI", 36 + n, b"WAVE", b"fmt ", 16, 1, 1, rate, rate,
                                              1, 8, b"data", n) + b"\x80" * n)
