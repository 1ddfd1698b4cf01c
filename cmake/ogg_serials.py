#!/usr/bin/env python3
"""Gives the Ogg streams of a soundfont's compressed samples (SF3) serial numbers in
order (1 for the first stream, each beginning-of-stream page starting the next): the
converter draws them at random, so two conversions of one file differ only there. Each
page's checksum is made again. usage: ogg_serials.py IN.sf3 OUT.sf3"""
import struct, sys

def crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else r << 1
        table.append(r & 0xFFFFFFFF)
    return table

TABLE = crc_table()

def ogg_crc(page):
    crc = 0
    for b in page:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ TABLE[((crc >> 24) ^ b) & 0xFF]
    return crc

data = bytearray(open(sys.argv[1], "rb").read())
stream = 0
at = data.find(b"OggS")
while at >= 0 and at + 27 <= len(data):
    segments = data[at + 26]
    if at + 27 + segments > len(data):
        break
    size = 27 + segments + sum(data[at + 27:at + 27 + segments])
    if data[at + 5] & 0x02:
        stream += 1
    struct.pack_into("<I", data, at + 14, stream)
    struct.pack_into("<I", data, at + 22, 0)
    struct.pack_into("<I", data, at + 22, ogg_crc(data[at:at + size]))
    at = data.find(b"OggS", at + size)
open(sys.argv[2], "wb").write(data)
