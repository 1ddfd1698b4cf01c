#!/usr/bin/env python3
"""Writes a zip whose bytes depend on the files' contents only: entries sorted by name,
every one dated SOURCE_DATE_EPOCH (UTC; the zip format starts at 1980), a plain file
readable by all, no owners. usage: release_zip.py OUT.zip NAME=PATH..."""
import os, sys, time, zipfile

out, entries = sys.argv[1], sorted(arg.split("=", 1) for arg in sys.argv[2:])
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
with zipfile.ZipFile(out + ".part", "w") as archive:
    for name, path in entries:
        info = zipfile.ZipInfo(name, stamp)
        info.create_system = 3
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as f:
            archive.writestr(info, f.read(), compresslevel=9)
os.replace(out + ".part", out)
