#!/usr/bin/env python3
"""Writes the small corpus of hostile version files next to this script (versionfiles/).

Each file is a property list a server could send as "/ProductVersions.plist". They are
small on purpose; the very deep lists are made by the tests at run time. Run again after a
change: python3 tests/data/make_versionfiles.py
"""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "versionfiles")


def length_marker(kind, count):
    if count < 15:
        return bytes([kind << 4 | count])
    return bytes([kind << 4 | 0xF]) + integer(count)


def integer(value):
    for power, fmt in ((0, ">B"), (1, ">H"), (2, ">I"), (3, ">q")):
        if power == 3 or 0 <= value < (1 << (8 << power)):
            return bytes([0x10 | power]) + struct.pack(fmt, value)


def binary_plist(objects, top=0, offsets=None):
    """objects: list of ("int", v) ("ascii", s) ("utf16", s) ("array", [refs]) ("dict", [(k, v)])."""
    ref_size = 1 if len(objects) < 256 else (2 if len(objects) < 65536 else 4)
    ref = {1: ">B", 2: ">H", 4: ">I"}[ref_size]
    body = bytearray(b"bplist00")
    table = []
    for kind, value in objects:
        table.append(len(body))
        if kind == "int":
            body += integer(value)
        elif kind == "ascii":
            body += length_marker(0x5, len(value)) + value.encode("ascii")
        elif kind == "utf16":
            units = value.encode("utf-16-be")
            body += length_marker(0x6, len(units) // 2) + units
        elif kind == "array":
            body += length_marker(0xA, len(value)) + b"".join(struct.pack(ref, r) for r in value)
        elif kind == "dict":
            body += length_marker(0xD, len(value))
            body += b"".join(struct.pack(ref, k) for k, _ in value)
            body += b"".join(struct.pack(ref, v) for _, v in value)
    if offsets is not None:
        table = offsets
    offset_size = 1 if len(body) < 256 else (2 if len(body) < 65536 else 4)
    table_start = len(body)
    body += b"".join(struct.pack({1: ">B", 2: ">H", 4: ">I"}[offset_size], o) for o in table)
    body += bytes(6) + bytes([offset_size, ref_size]) + struct.pack(">QQQ", len(objects), top, table_start)
    return bytes(body)


def version_file(version_string_object, extra=()):
    # 0 root, 1 "Ordinello", 2 product, 3 "CurrentVersion", 4 105, 5 "CurrentVersionString", 6 string
    return [("dict", [(1, 2)]), ("ascii", "Ordinello"),
            ("dict", [(3, 4), (5, 6)]), ("ascii", "CurrentVersion"), ("int", 105),
            ("ascii", "CurrentVersionString"), version_string_object] + list(extra)


def nested_arrays(depth):
    # An array in an array ... depth times, under the product key.
    objects = [("dict", [(1, 2)]), ("ascii", "Ordinello")]
    for level in range(depth):
        objects.append(("array", [len(objects) + 1]))
    objects.append(("int", 1))
    return objects


def doubling(levels):
    # Each array holds the next one twice: few objects, 2^levels paths through them.
    objects = [("dict", [(1, 2)]), ("ascii", "Ordinello")]
    for level in range(levels):
        objects.append(("array", [len(objects) + 1, len(objects) + 1]))
    objects.append(("int", 1))
    return objects


def shared_string(size, references):
    # One large string that an array refers to many times over.
    objects = [("dict", [(1, 2)]), ("ascii", "Ordinello"), ("array", [3] * references), ("ascii", "v" * size)]
    return objects


def xml_nested(depth):
    return (b'<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>Ordinello</key>'
            + b"<array>" * depth + b"<integer>1</integer>" + b"</array>" * depth + b"</dict></plist>\n")


FILES = {
    "good.bplist": binary_plist(version_file(("ascii", "1.0.5"))),
    "utf16-nul.bplist": binary_plist(version_file(("utf16", "1.0\u00005"))),
    "ascii-nul.bplist": binary_plist(version_file(("ascii", "1.0\u00005"))),
    "nested-200.bplist": binary_plist(nested_arrays(200)),
    "doubling-60.bplist": binary_plist(doubling(60)),
    "shared-string.bplist": binary_plist(shared_string(10000, 1000)),
    # The product dictionary holds itself.
    "cycle.bplist": binary_plist([("dict", [(1, 2)]), ("ascii", "Ordinello"), ("dict", [(1, 2)])]),
    "offset-outside.bplist": binary_plist(version_file(("ascii", "1.0.5")), offsets=[8, 9, 20, 30, 40, 50, 250]),
    "ref-outside.bplist": binary_plist([("dict", [(1, 200)]), ("ascii", "Ordinello")]),
    "top-outside.bplist": binary_plist(version_file(("ascii", "1.0.5")), top=99),
    "truncated.bplist": binary_plist(version_file(("ascii", "1.0.5")))[:-40],
    "nested-200.xml": xml_nested(200),
}

if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    for name, data in FILES.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
