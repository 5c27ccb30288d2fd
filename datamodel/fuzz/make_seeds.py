#!/usr/bin/env python3
"""Writes the model fuzzer's seed inputs into corpus/: small data files holding
series with point blocks and point records, help lines, quick saves, axes, browse
items and points, plain and checksummed."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing left behind in the other folder
sys.path.insert(0, os.path.join(HERE, "..", "..", "datafile", "fuzz"))
from make_seeds import CHECKED, PLAIN, checked, i32, plain, text  # noqa: E402


def f64(v):
    return struct.pack("<d", v)


def string_field(tag, t):
    return i32(tag) + text(t)


def int_field(tag, v):
    return i32(tag) + i32(4) + i32(v)


def byte_field(tag, v):
    return i32(tag) + i32(1) + bytes([v])


def double_field(tag, v):
    return i32(tag) + i32(8) + f64(v)


def file(checksums, records):
    record = checked if checksums else plain
    header = i32(9) + text((CHECKED if checksums else PLAIN) + b"2.0")
    return record(1, header + b"".join(records(record)))


def block(record_size, points):
    body = i32(record_size)
    for x, y, n in points:
        rec = f64(x) + f64(y) + (i32(n) if record_size > 16 else b"")
        body += rec + bytes(max(0, record_size - len(rec)))
    return i32(14) + i32(len(body)) + body


def series(record, style=0x12, points=None, record_size=20, extra=b""):
    points = points or [(45000.0, 7.4, 1), (45000.1, 7.3, 2), (45000.2, 7.35, 3)]
    fields = (int_field(12, 0) + int_field(16, 0xFF) + byte_field(19, 1) + byte_field(20, style) +
              string_field(11, b"pH") + b"".join(byte_field(71 + i, b) for i, b in
                                                  enumerate([1, 0, 1, 0, 0, 1, 0, 0, 0])) +
              double_field(17, 0) + double_field(18, 0) + block(record_size, points) + extra)
    help_line = b"".join(double_field(160 + i, v) for i, v in enumerate([1.0, 7.0, 45000, 0, 0]))
    fields += (int_field(13, 0) + byte_field(31, 0) + double_field(32, 100) + int_field(69, 3) +
               record(159, help_line))
    return record(4, fields)


def axis(record, tag, kind, log=0):
    fields = (byte_field(100, log) + double_field(101, 110) + int_field(102, 0) + int_field(103, 100) +
              int_field(105, 200 if tag == 5 else 0) + int_field(104, 100 if tag == 5 else 0) +
              double_field(106, 1.0) + double_field(107, 45000.0) + double_field(108, 0.25) +
              int_field(109, 0) + int_field(124, kind) + int_field(137, 1))
    return record(tag, fields)


def identities(record):
    patient = byte_field(2021, 1) + int_field(2022, 2) + string_field(2023, b"Berg")
    parameter = b"".join(string_field(t, s) for t, s in
                         [(2024, b""), (2025, b"pH"), (2026, b"art"), (2027, b""), (2028, b"pH")])
    return record(-23, patient) + record(-24, parameter)


def seeds():
    for checksums in (False, True):
        kind = "checked" if checksums else "plain"
        yield kind + "_series", file(checksums, lambda r: [series(r)])
        yield kind + "_plot", file(checksums, lambda r: [axis(r, 5, 1), axis(r, 6, 1, 1),
                                                           series(r, 0xFF)])
        yield kind + "_time_plot", file(checksums, lambda r: [axis(r, 5, 0), axis(r, 6, 1),
                                                                series(r, 0x23)])
        yield kind + "_quick_save", file(checksums, lambda r: [r(-17, int_field(2020, 4) +
                                                                string_field(11, b"q") +
                                                                plain(22, f64(1) + f64(2) + i32(3)))])
        yield kind + "_browse_item", file(checksums, lambda r: [r(-18, identities(r))])
    yield "block16", file(False, lambda r: [series(r, points=[(1, 2, 0), (3, 4, 0)],
                                                   record_size=16)])
    yield "block24", file(False, lambda r: [series(r, record_size=24)])
    yield "point_records", file(False, lambda r: [
        series(r, extra=plain(22, f64(1) + f64(2) + i32(3)) + plain(25, f64(2) + i32(4)) +
               plain(28, f64(3) + f64(0.1) + i32(5)) + plain(85, f64(2.5) + f64(0) + i32(0)))])
    yield "file_level_points", file(False, lambda r: [
        plain(22, f64(1) + f64(2) + i32(3)), plain(-29, f64(1) + f64(2) + i32(3) + i32(2) + f64(4) +
                                                   f64(5)), plain(25, f64(1) + i32(1))])
    yield "duration_axis", file(False, lambda r: [axis(r, 5, 3), axis(r, 6, 2), series(r, 0x45)])
    yield "message", file(False, lambda r: [r(4, i32(0x21524F51) + text(b"hello"))])


def main():
    out = os.path.join(HERE, "corpus")
    os.makedirs(out, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(out, "seed_" + name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
