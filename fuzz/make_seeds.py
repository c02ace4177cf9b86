#!/usr/bin/env python3
"""Writes seed inputs for one fuzz target into a folder.

Every target reads its own input layout (a few option bytes, then the data); this turns zip
archives into that layout: the archives named on the command line (files, or folders searched
for them), plus small archives made here (stored, deflated, encrypted, commented, with folder
entries, behind a stub). The catalogue target gets the built-in language block and small
blocks of its own.

usage: make_seeds.py TARGET OUTDIR [ARCHIVE-OR-FOLDER ...]
  TARGET: fuzz_unzexec | fuzz_legacy | fuzz_dir_reader | fuzz_catalogue
"""
import hashlib
import io
import os
import struct
import sys
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_ARCHIVE = 1 << 20


# --- Traditional PKWARE encryption, for encrypted seeds.
def _crc_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    return table


CRC_TABLE = _crc_table()


class Keys:
    def __init__(self, password):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for b in password:
            self.update(b)

    def update(self, b):
        k0, k1, k2 = self.k
        k0 = (k0 >> 8) ^ CRC_TABLE[(k0 ^ b) & 0xFF]
        k1 = ((k1 + (k0 & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k2 = (k2 >> 8) ^ CRC_TABLE[(k2 ^ (k1 >> 24)) & 0xFF]
        self.k = [k0, k1, k2]

    def encrypt(self, data):
        out = bytearray()
        for b in data:
            t = (self.k[2] | 2) & 0xFFFF
            out.append(b ^ (((t * (t ^ 1)) >> 8) & 0xFF))
            self.update(b)
        return bytes(out)


def build_zip(entries, comment=b"", stub=b"", password=None):
    """entries: (name, data, method) with method 0 or 8; folder names end with '/'."""
    body = bytearray(stub)
    central = bytearray()
    for name, data, method in entries:
        crc = zlib.crc32(data)
        packed = data if method == 0 else zlib.compress(data, 9)[2:-4]
        flags = 0
        if password is not None and not name.endswith("/"):
            flags = 1
            header = bytes(11) + bytes([crc >> 24])
            packed = Keys(password).encrypt(header + packed)
        offset = len(body)
        fixed = struct.pack("<HHHHHIIIHH", 20, flags, method, 0, 0x5A21, crc, len(packed), len(data),
                            len(name), 0)
        body += b"PK\x03\x04" + fixed + name.encode() + packed
        central += b"PK\x01\x02" + struct.pack("<BBHHHHHIIIHHHHHII", 20, 0, 20, flags, method, 0, 0x5A21,
                                                crc, len(packed), len(data), len(name), 0, 0, 0, 0,
                                                0x10 if name.endswith("/") else 0x20, offset)
        central += name.encode()
    start = len(body)
    body += central
    body += b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, len(entries), len(entries), len(central), start,
                                        len(comment)) + comment
    return bytes(body)


def made_archives():
    text = b"Quenlar Accounting " * 40 + bytes(range(256))
    files = [("readme.txt", text, 8), ("bin/fbclient.dll", b"MZ" + bytes(300), 0), ("Data/", b"", 0)]
    yield "made-plain", build_zip(files)
    yield "made-encrypted", build_zip(files, password=b"pw")
    yield "made-comment", build_zip(files[:1], comment=b"0123456789")
    yield "made-stub", build_zip(files[:2], stub=b"MZ" + bytes(98))
    yield "made-empty", build_zip([])
    # One more through the standard writer (data descriptors, its own header fields).
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("a/b/c.txt", text)
        z.writestr("empty.txt", b"")
    yield "made-zipfile", buffer.getvalue()


def archives(paths):
    for path in paths:
        names = []
        if os.path.isdir(path):
            for folder, _, files in os.walk(path):
                names += [os.path.join(folder, f) for f in sorted(files)]
        elif os.path.isfile(path):
            names.append(path)
        for name in names:
            if os.path.getsize(name) > MAX_ARCHIVE:
                continue
            with open(name, "rb") as f:
                data = f.read()
            if b"PK\x05\x06" in data or data.startswith(b"PK"):
                yield os.path.basename(name), data
    yield from made_archives()


def local_streams(data):
    """(method, uncompressed size, flags, compressed bytes) of each unencrypted local entry."""
    at = data.find(b"PK\x03\x04")
    while 0 <= at and at + 30 <= len(data):
        _, flags, method, _, _, _, packed, size, name_len, extra_len = struct.unpack_from("<HHHHHIIIHH", data, at + 4)
        start = at + 30 + name_len + extra_len
        if not flags & 1 and packed and start + packed <= len(data):
            yield method, size, flags, data[start:start + packed]
        at = data.find(b"PK\x03\x04", at + 4)


def catalogue_seeds():
    sys.path.insert(0, os.path.join(HERE, "..", "zip", "catalogue"))
    import make_catalogue as mc
    messages = mc.read_messages(os.path.join(HERE, "..", "zip", "catalogue", "messages.txt"))
    image = mc.resource_image(messages)
    block = mc.language_block(image)
    counted = block[8:]
    # Mode 0: a counted stream alone; 1: an image to look up in; 2: a further-languages resource.
    yield "builtin-counted", bytes([0, 0x7D, 0x27]) + counted
    small = mc.resource_image({10096: "VN", 10109: "không hoạt động", 10110: "x" * 40})
    yield "small-counted", bytes([0, 0x7D, 0x27]) + struct.pack("<I", len(small)) + mc.compress(small)
    yield "small-image", bytes([1, 0x70, 0x27]) + small
    small_block = struct.pack("<HHH", 1066, 4 + len(mc.compress(small)), 2) + b"VN" + \
        struct.pack("<I", len(small)) + mc.compress(small)
    yield "languages-vn", bytes([2, 0x70, 0x27]) + small_block + block
    yield "languages-id", bytes([3, 0x70, 0x27]) + block + small_block


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    target, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    seeds = []
    if target == "fuzz_catalogue":
        seeds = list(catalogue_seeds())
    else:
        for name, data in archives(sys.argv[3:]):
            if target == "fuzz_unzexec":
                # Options: extract, test, with the password; output room 64 KiB; every entry, or
                # those matching the specs "*.txt" and "bin\*".
                for options, spec in ((0, 0), (1, 0), (2, 0), (2, 2), (1, 3)):
                    room = struct.pack("<I", 1 << 16 | spec << 20)
                    seeds.append((f"{name}-{options}-{spec}", bytes([options]) + room + data))
            elif target == "fuzz_dir_reader":
                half = struct.pack("<H", len(data) // 2 & 0xFFFF)
                seeds.append((name, bytes([0, 0, 0]) + data))
                seeds.append((name + "-volumes", bytes([0x10]) + half + data))
                seeds.append((name + "-removable", bytes([0x80, 0, 0]) + data))
            elif target == "fuzz_legacy":
                for method, size, flags, packed in local_streams(data):
                    if method == 1:
                        seeds.append((f"{name}-shrink", bytes([0x80]) + struct.pack("<H", size & 0xFFFF) + packed))
                    elif method == 6:
                        seeds.append((f"{name}-implode", bytes([flags & 6]) + struct.pack("<H", size & 0xFFFF) + packed))
            else:
                sys.exit(f"unknown target {target}")
    for name, data in seeds:
        digest = hashlib.sha1(data).hexdigest()[:12]
        with open(os.path.join(out, f"{name}-{digest}"), "wb") as f:
            f.write(data)
    print(f"{len(seeds)} seeds for {target} in {out}")


if __name__ == "__main__":
    main()
