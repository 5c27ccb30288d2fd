#!/usr/bin/env python3
"""Writes the fuzzer's seed inputs into corpus/: small data files of every kind the
reader knows (plain and checksummed, nested records, data points, old headers)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
PLAIN = b"QOR Fluvantronics Save File Header "
CHECKED = b"*" + PLAIN


def i32(v):
    return struct.pack("<i", v)


def text(t, counts_char_size=True):
    return i32(len(t) + (4 if counts_char_size else 0)) + i32(1) + t


def checked(tag, body):
    rec = i32(tag) + i32(len(body) + 1) + body
    return rec + bytes([sum(rec) % 256])


def plain(tag, body):
    return i32(tag) + i32(len(body)) + body


def point(index, time, value):
    return plain(220, struct.pack("<hdd", index, time, value))


def file(checksums, body, after=b""):
    header = i32(9) + text((CHECKED if checksums else PLAIN) + b"2.0")
    rec = (checked if checksums else plain)(1, header + body)
    return rec + after


def seeds():
    fields = (i32(2) + i32(4) + i32(8) + i32(30) + i32(1) + b"\x00" +
              i32(203) + text(b"1234567890") + i32(5) + i32(8) + struct.pack("<d", 1.5))
    identity = (i32(2021) + i32(1) + b"\x01" + i32(2022) + i32(4) + i32(7) +
                i32(2023) + text(b"Berg"))
    parameter = b"".join(i32(t) + text(s) for t, s in
                         [(2024, b""), (2025, b"pH"), (2026, b"art"), (2027, b""), (2028, b"pH")])
    yield "plain_fields", file(False, fields)
    yield "checked_fields", file(True, fields)
    yield "plain_nested", file(False, plain(200, fields + plain(300, fields)))
    yield "checked_nested", file(True, checked(200, fields + checked(300, fields)))
    yield "checked_identity", file(True, checked(-23, identity) + checked(-24, parameter))
    yield "plain_identity", file(False, plain(-23, identity) + plain(-24, parameter))
    yield "monitor_points", file(False, plain(3, fields) + plain(205, bytes(40)),
                                 point(0, 45000.5, 7.4) + point(1, 45000.5, 5.1))
    yield "utf16", file(False, i32(4) + i32(8) + i32(2) + "ab".encode("utf-16-le"))
    yield "old_1_1", i32(1) + text(PLAIN + b"1.1", False) + i32(4) + text(b"ab", False)
    yield "old_1_5", i32(1) + text(PLAIN + b"1.5") + i32(4) + text(b"ab")
    yield "old_1_0", i32(1) + text(PLAIN + b"1.0", False) + i32(4) + i32(4) + i32(0) + i32(3)
    yield "not_a_file", b"\x02\x00\x00\x00hello"


def write_seeds(folder, named_seeds):
    """Writes each (name, bytes) of Named_seeds into Folder as seed_<name>."""
    os.makedirs(folder, exist_ok=True)
    for name, data in named_seeds:
        with open(os.path.join(folder, "seed_" + name), "wb") as f:
            f.write(data)


def main():
    write_seeds(os.path.join(HERE, "corpus"), seeds())


if __name__ == "__main__":
    main()
