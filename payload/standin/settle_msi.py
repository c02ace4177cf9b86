#!/usr/bin/env python3
"""Makes wixl's package repeatable: wixl writes a fresh package code and the time of the build
into the package's summary information, so two builds of one source differ. Both are set here
to values that follow from the source: the package code from a hash of the source file, the
times from SOURCE_DATE_EPOCH (the stand-ins' fixed date when it is not set).

usage: settle_msi.py PACKAGE.msi SOURCE.wxs
"""
import hashlib
import os
import re
import sys
import uuid

# 2025-01-01 12:00 UTC, the date our archive writer gives the stand-ins' entries.
STANDIN_EPOCH = 1735732800
# Seconds between 1601-01-01 (FILETIME's start) and 1970-01-01.
FILETIME_OFFSET = 11644473600

# The summary's revision number (the package code, a 38-character string with its terminator
# and one byte of padding) followed by its two FILETIME properties: created and last saved.
SUMMARY = re.compile(rb"(\x1e\x00\x00\x00\x27\x00\x00\x00)\{[0-9A-F-]{36}\}(\x00\x00\x40\x00\x00\x00).{8}"
                     rb"(\x40\x00\x00\x00).{8}", re.DOTALL)


def main():
    package, source = sys.argv[1], sys.argv[2]
    with open(package, "rb") as f:
        data = f.read()
    with open(source, "rb") as f:
        code = "{%s}" % str(uuid.UUID(bytes=hashlib.sha256(f.read()).digest()[:16], version=4)).upper()
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", STANDIN_EPOCH))
    filetime = ((epoch + FILETIME_OFFSET) * 10_000_000).to_bytes(8, "little")
    found = SUMMARY.findall(data)
    if len(found) != 1:
        sys.exit(f"settle_msi.py: {package}: expected one summary record, found {len(found)}")
    data = SUMMARY.sub(lambda m: m.group(1) + code.encode() + m.group(2) + filetime + m.group(3) + filetime, data)
    with open(package, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
