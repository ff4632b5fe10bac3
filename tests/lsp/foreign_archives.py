#!/usr/bin/env python3
"""Writes ZIP archives the way other tools write them, into the folder given, with a
manifest of what python's zipfile reads in each.

usage: foreign_archives.py FOLDER

Archives come from python's zipfile (stored, deflate, bzip2, lzma, forced zip64 fields
and end records, an entry without a name, folders only, code page 437 names, comments and
names holding record signatures, data in front), from Debian's `zip` (stored, deflate,
bzip2, forced zip64, streamed input, folders, UTF-8 names, a comment) and, when installed,
from `7z` (copy, deflate, bzip2, and methods this system does not read), plus damaged
copies of some (cut short, bytes changed).

FOLDER/manifest.tsv has one line per archive and one per entry that python reads:
  A <file> <python reads and tests it: 0/1> <sound: 0 for a damaged copy, else 1>
  E <name, hex> <size> <crc32, 8 hex digits> <zip method> <folder: 0/1>
Names are the names as this system lists them: python's, except that a Unicode path extra
field matching the stored name gives its name, and a name without the UTF-8 flag from a
Unix host that is valid UTF-8 is that UTF-8 (as unzip shows it there).
"""

import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

out = os.path.abspath(sys.argv[1])
os.makedirs(out, exist_ok=True)
work = os.path.join(out, "work")
os.makedirs(work, exist_ok=True)
made = []  # archive file names, in order
damaged_copies = set()


def data(seed, size):
    """Text that compresses, different for every seed."""
    line = ("line %d of seed %d, some words to squeeze\n" % (seed, seed)).encode()
    return (line * (size // len(line) + 1))[:size]


def noise(seed, size):
    x, b = seed * 2654435761 % 2**32 or 1, bytearray()
    for _ in range(size):
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        b.append(x & 0xFF)
    return bytes(b)


def py_zip(name, entries, compression=zipfile.ZIP_DEFLATED, comment=b"", force_zip64=False):
    """entries: (name, bytes) pairs; a name ending in "/" is a folder."""
    path = os.path.join(out, name)
    with zipfile.ZipFile(path, "w", compression) as z:
        for entry_name, content in entries:
            if entry_name.endswith("/"):
                z.writestr(zipfile.ZipInfo(entry_name), b"")
                continue
            info = zipfile.ZipInfo(entry_name, date_time=(2024, 5, 17, 10, 30, 0))
            info.compress_type = compression
            info.external_attr = 0o100644 << 16
            with z.open(info, "w", force_zip64=force_zip64) as f:
                f.write(content)
        z.comment = comment
    made.append(name)


def run(args, cwd=work, stdin=None):
    return subprocess.run(args, cwd=cwd, input=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=120).returncode


# ---- python's zipfile -------------------------------------------------------------
files = [("a.txt", data(1, 5000)), ("sub/b.bin", noise(2, 3000)), ("sub/deeper/c.txt", data(3, 70000)),
         ("empty.txt", b"")]
py_zip("py-stored.zip", files, zipfile.ZIP_STORED)
py_zip("py-deflate.zip", files)
py_zip("py-bzip2.zip", files, zipfile.ZIP_BZIP2)
py_zip("py-lzma.zip", files[:2], zipfile.ZIP_LZMA)  # method 14: not read here
py_zip("py-zip64-fields.zip", files, force_zip64=True)
py_zip("py-folders-only.zip", [("top/", b""), ("top/inner/", b""), ("other/", b"")])
py_zip("py-empty.zip", [])
py_zip("py-utf8-names.zip", [("Grüße/naïve.txt", data(4, 100)), ("日本/ファイル.txt", data(5, 50))])
# Record signatures inside names and the archive comment: the last name ends with what
# looks like a zip64 locator right before the end record.
py_zip("py-signature-names.zip",
       [("PK\x06\x06zip64 end.txt", data(6, 300)), ("x/PK\x05\x06end.txt", data(7, 200)),
        ("loc" + "PK\x06\x07" + "\x01\x01\x01\x01" + "ABCDEFGH" + "\x01\x01\x01\x01", data(8, 100))])
py_zip("py-signature-comment.zip", files[:2],
       comment=b"comment with PK\x06\x07 and PK\x06\x06 inside, PK\x01\x02 and PK\x03\x04 too")
# An end record signature inside the comment: sound, though unzip and zipfile both give up.
py_zip("py-end-signature-comment.zip", files[:2], comment=b"comment PK\x05\x06 then more text")
py_zip("py-stored-signatures.zip",
       [("sig.bin", b"PK\x05\x06" + b"\x00" * 18 + b"PK\x06\x07" + b"\x00" * 16 + b"PK\x06\x06" + b"\x00" * 60)],
       zipfile.ZIP_STORED)

# The last entry's comment ends in what looks like a zip64 locator (disk 0) right before
# the end record of an archive without zip64 records.
with zipfile.ZipFile(os.path.join(out, "py-locator-comment.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("first.txt", data(11, 800))
    z.writestr("second.txt", data(12, 900))
    z.getinfo("second.txt").comment = b"PK\x06\x07" + struct.pack("<IQI", 0, 12345, 1)
made.append("py-locator-comment.zip")

# zip64 end records and zip64 fields everywhere, as writers do that always use them.
limits = zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT
zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 0, 0
py_zip("py-zip64-records.zip", files[:3], force_zip64=True)
py_zip("py-zip64-records-stored.zip", files[:3], zipfile.ZIP_STORED, force_zip64=True)
zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = limits

# An entry without a name (zipfile refuses one unless its folder test is made safe).
is_dir = zipfile.ZipInfo.is_dir
zipfile.ZipInfo.is_dir = lambda self: self.filename.endswith("/")
with zipfile.ZipFile(os.path.join(out, "py-empty-name.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    nameless = zipfile.ZipInfo("x")
    nameless.filename = nameless.orig_filename = ""
    with z.open(nameless, "w") as f:
        f.write(data(9, 400))
    z.writestr("named.txt", data(10, 300))
made.append("py-empty-name.zip")
zipfile.ZipInfo.is_dir = is_dir

# Names in code page 437 without the UTF-8 flag, as DOS and Windows tools wrote them.
encode = zipfile.ZipInfo._encodeFilenameFlags
zipfile.ZipInfo._encodeFilenameFlags = lambda self: (self.filename.encode("cp437"), self.flag_bits)
with zipfile.ZipFile(os.path.join(out, "py-cp437-names.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    for i, name in enumerate(["Café/Übersicht.txt", "╔═╗ box ½.txt", "ñandú αßΓ µ.txt"]):
        info = zipfile.ZipInfo(name, date_time=(2001, 2, 3, 4, 5, 6))
        info.create_system = 0  # MS-DOS
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, data(20 + i, 500))
made.append("py-cp437-names.zip")
zipfile.ZipInfo._encodeFilenameFlags = encode

# A name the writer could not store in its code page, with its true name in a Unicode
# path extra field (0x7075: version, CRC-32 of the stored name, UTF-8 name).
with zipfile.ZipFile(os.path.join(out, "py-unicode-path.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    stored, true_name = "Ce?ka.txt", "Čečka.txt".encode()
    info = zipfile.ZipInfo(stored, date_time=(2010, 1, 2, 3, 4, 6))
    info.create_system = 0
    info.extra = struct.pack("<HHBI", 0x7075, 5 + len(true_name), 1, zlib.crc32(stored.encode())) + true_name
    z.writestr(info, data(25, 700))
made.append("py-unicode-path.zip")

# Data in front of the archive (a self-extracting stub), offsets not adjusted.
with open(os.path.join(out, "py-deflate.zip"), "rb") as f:
    plain = f.read()
with open(os.path.join(out, "py-stub-in-front.zip"), "wb") as f:
    f.write(b"#!/bin/sh\necho stub\nexit 0\n" + noise(30, 5000) + plain)
made.append("py-stub-in-front.zip")

# ---- Debian's zip -----------------------------------------------------------------
if shutil.which("zip"):
    tree = os.path.join(work, "tree")
    os.makedirs(os.path.join(tree, "docs", "empty folder"), exist_ok=True)
    for rel, content in [("docs/readme.txt", data(40, 9000)), ("docs/random.bin", noise(41, 20000)),
                         ("docs/héllo wörld.txt", data(42, 300)), ("top.txt", data(43, 1))]:
        with open(os.path.join(tree, rel), "wb") as f:
            f.write(content)
    for name, options in [("zip-stored.zip", ["-0"]), ("zip-deflate.zip", ["-9"]), ("zip-bzip2.zip", ["-Z", "bzip2"]),
                          ("zip-zip64.zip", ["-fz"])]:
        if run(["zip", "-q", "-r", "-X"] + options + [os.path.join(out, name), "docs", "top.txt"], cwd=tree) == 0:
            made.append(name)
    if run(["zip", "-q", "-r", os.path.join(out, "zip-folders-only.zip"), "docs/empty folder"], cwd=tree) == 0:
        made.append("zip-folders-only.zip")
    if run(["zip", "-q", "-z", os.path.join(out, "zip-comment.zip"), "top.txt"], cwd=tree,
           stdin=b"a comment with PK\x05\x06 and PK\x06\x07 inside\n") == 0:
        made.append("zip-comment.zip")
    # Streamed from standard input: sizes in a data descriptor after the data.
    with open(os.path.join(out, "zip-streamed.zip"), "wb") as f:
        if subprocess.run(["zip", "-q", "-", "-"], input=data(44, 50000), stdout=f, stderr=subprocess.DEVNULL,
                          timeout=120).returncode == 0:
            made.append("zip-streamed.zip")

# ---- 7z, when installed -----------------------------------------------------------
seven = shutil.which("7z") or shutil.which("7za")
if seven:
    src = os.path.join(work, "seven")
    os.makedirs(os.path.join(src, "in"), exist_ok=True)
    for rel, content in [("in/x.txt", data(50, 30000)), ("in/y.bin", noise(51, 4000)), ("in/ünï.txt", data(52, 10))]:
        with open(os.path.join(src, rel), "wb") as f:
            f.write(content)
    for name, method in [("7z-copy.zip", "Copy"), ("7z-deflate.zip", "Deflate"), ("7z-bzip2.zip", "BZip2"),
                         ("7z-deflate64.zip", "Deflate64"), ("7z-lzma.zip", "LZMA"), ("7z-ppmd.zip", "PPMd")]:
        if run([seven, "a", "-tzip", "-mm=" + method, os.path.join(out, name), "in"], cwd=src) == 0:
            made.append(name)

# ---- damaged copies ---------------------------------------------------------------
def damaged(source, tag, change):
    with open(os.path.join(out, source), "rb") as f:
        b = bytearray(f.read())
    change(b)
    name = source[:-4] + "-" + tag + ".zip"
    with open(os.path.join(out, name), "wb") as f:
        f.write(b)
    made.append(name)
    damaged_copies.add(name)


def flip(at):
    def change(b):
        b[at % len(b)] ^= 0x55
    return change


def cut(keep):
    def change(b):
        del b[keep(len(b)):]
    return change


for source in ["py-stored.zip", "py-deflate.zip", "py-bzip2.zip", "py-zip64-records.zip"]:
    damaged(source, "half", cut(lambda n: n // 2))
    damaged(source, "no-last-byte", cut(lambda n: n - 1))
    damaged(source, "no-end-record", cut(lambda n: n - 22))
    for at in [40, 200, 1000, 2000, -30, -60, -100, -120]:
        damaged(source, "flip%d" % at, flip(at))

# ---- manifest ---------------------------------------------------------------------
def listed_name(info):
    """The name as this system lists it (see the module's note)."""
    extra = info.extra
    while len(extra) >= 4:
        tag, size = struct.unpack("<HH", extra[:4])
        field, extra = extra[4:4 + size], extra[4 + size:]
        if tag == 0x7075 and size >= 5 and field[0] == 1 and not info.flag_bits & 0x800:
            raw = info.orig_filename.encode("cp437")
            if struct.unpack("<I", field[1:5])[0] == zlib.crc32(raw):
                return field[5:].decode("utf-8")
    if not info.flag_bits & 0x800 and info.create_system in (3, 19):
        try:
            raw = info.orig_filename.encode("cp437")
            return raw.decode("utf-8")
        except (UnicodeEncodeError, UnicodeDecodeError):
            pass
    return info.orig_filename


with open(os.path.join(out, "manifest.tsv"), "w") as manifest:
    for name in made:
        entries = []
        try:
            with zipfile.ZipFile(os.path.join(out, name)) as z:
                ok = z.testzip() is None
                infos = z.infolist()
        except Exception:
            ok, infos = False, []
        manifest.write("A\t%s\t%d\t%d\n" % (name, 1 if ok else 0, 0 if name in damaged_copies else 1))
        for info in infos if ok else []:
            manifest.write("E\t%s\t%d\t%08x\t%d\t%d\n" % (listed_name(info).encode().hex(), info.file_size, info.CRC,
                                                          info.compress_type, 1 if info.filename.endswith("/") else 0))
shutil.rmtree(work)
