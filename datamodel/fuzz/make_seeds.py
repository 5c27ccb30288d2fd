#!/usr/bin/env python3
"""Writes the model fuzzer's seed inputs into corpus/: small data files holding
series with point blocks and point records, help lines, quick saves, axes, browse
items and points, the specialised series with their own point records, and axes of
every kind to draw, plain and checksummed."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing left behind in the other folder
sys.path.insert(0, os.path.join(HERE, "..", "..", "datafile", "fuzz"))
from make_seeds import CHECKED, PLAIN, checked, i32, plain, text, write_seeds  # noqa: E402


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


def special(record, tag, style, point_records, extra=b""):
    """A specialised series record: the head fields, its own point records, then
    the TSerie trailer (for the classes based on TSerie) and its own fields."""
    fields = (int_field(12, 0) + int_field(16, 0xFF) + byte_field(19, 1) + byte_field(20, style) +
              string_field(11, b"s") + b"".join(point_records) + extra)
    return record(tag, fields)


def xy(x, y, n):
    return f64(x) + f64(y) + i32(n)


def special_series(record):
    tail = int_field(13, 0) + byte_field(31, 0) + double_field(32, 100) + int_field(69, 3)
    return [
        special(record, 65, 0x12, [plain(27, xy(45000.1, 7.4, 1) + f64(45000.0) + text(b"V12") +
                                         text(b"ID9") + i32(1))], tail),
        special(record, 166, 0x12, [plain(165, xy(45000.2, 7.3, 2) + i32(2) + text(b"vial") +
                                          bytes([1]) + i32(3))], tail),
        special(record, 61, 0x01, [plain(24, xy(7.1, 40.0, 1) + f64(45000.3)),
                                   plain(24, xy(7.2, 41.0, 2) + f64(45000.4))], tail),
        special(record, 62, 0x52, [plain(22, xy(1, 2.5, 1)), plain(22, xy(2, 0.5, 2))],
                double_field(67, 1.5) + tail),
        special(record, 63, 0x13, [plain(21, xy(45000.1, 5, 1) + f64(0.5) + f64(0.2) + i32(9) +
                                         i32(1)),
                                   plain(21, xy(45000.2, 6, 2) + f64(0) + f64(0.3) + i32(4) +
                                         i32(0))],
                tail + byte_field(37, 1) + byte_field(38, 1)),
        special(record, -30, 0xC0, [plain(-29, xy(45000.1, 0, 1) + i32(3) + f64(1) + f64(-2) +
                                          f64(3)),
                                    plain(-29, xy(45000.2, 0, 2) + i32(1) + f64(4))],
                tail + plain(2039, i32(2) + i32(0xFF) + i32(0xFF00)) + byte_field(2040, 1)),
        special(record, 10, 0x10, [plain(26, f64(45000.1) + i32(1) + string_field(9, b"Event")),
                                   plain(15, f64(45000.2) + f64(0) + string_field(9, b"Old") +
                                         i32(5))]),
        special(record, 23, 0x10, [plain(230, xy(45000.1, 12, 1) + i32(0)),
                                   plain(230, xy(45000.2, 13, 2) + i32(1))],
                string_field(233, b"info") + string_field(231, b"a.avi")),
    ]


def drawn_axis(record, tag, kind, minimum, span, step, log=0, extra=b""):
    fields = (byte_field(100, log) + int_field(102, 0) + int_field(103, 300) +
              int_field(105, 400 if tag == 5 else 0) + int_field(104, 300 if tag == 5 else 0) +
              double_field(106, span) + double_field(107, minimum) + double_field(108, step) +
              int_field(124, kind) + extra)
    return record(tag, fields)


def drawn_axes(record):
    labels = int_field(122, 1) + int_field(123, 0) + byte_field(119, 0) + byte_field(118, 0)
    return [
        drawn_axis(record, 5, 0, 45000.0, 40, 7, extra=labels),
        drawn_axis(record, 5, 0, 36000.0, 11000, 365),
        drawn_axis(record, 5, 0, 45000.5, 3, 1, extra=labels),
        drawn_axis(record, 5, 3, 0, 3 / 1440, 1.5 / 1440, extra=int_field(137, 1) + labels),
        drawn_axis(record, 6, 1, 1, 999, 1, log=1, extra=int_field(126, 1) + byte_field(138, 1)),
        drawn_axis(record, 6, 1, 0, 10, 0, extra=int_field(126, 3)),
    ]


def identities(record):
    patient = byte_field(2021, 1) + int_field(2022, 2) + string_field(2023, b"Berg")
    parameter = b"".join(string_field(t, s) for t, s in
                         [(2024, b""), (2025, b"pH"), (2026, b"art"), (2027, b""), (2028, b"pH")])
    return record(-23, patient) + record(-24, parameter)


def care_event(record, kind, name, caption):
    return record(kind, string_field(2012, name) + string_field(2013, caption))


def category(record, kind=-6, momentary=0, visualizer=None):
    events = record(-7, care_event(record, 0, b"a", b"Alpha") + care_event(record, -5, b"b", b"Beta") +
                    care_event(record, 0, b"c", b"Gamma"))
    if visualizer is None:
        visualizer = record(-12, string_field(2014, b"one") + string_field(2014, b"two"))
    return record(kind, string_field(2006, b"Fluids") + string_field(2007, b"Given") +
                  byte_field(2009, momentary) + events + visualizer)


def options(record):
    item = record(-9, string_field(2001, b"item") + string_field(2002, b"") + category(record))
    inner = record(-14, string_field(2001, b"inner") + string_field(2002, b"") + item)
    return record(-14, string_field(2001, b"outer") + string_field(2002, b"top") + inner +
                  record(-9, string_field(2001, b"bare")))


def category_points():
    values = bytes([0x09] + [0] * 30 + [0x80])
    return (plain(2015, f64(45000.0) + f64(1) + i32(1) + i32(1)) +
            plain(2016, f64(45000.1) + f64(0) + i32(2) + values) +
            plain(2017, f64(45000.2) + i32(3) + i32(9) + text(b"turned")) +
            plain(2015, f64(45000.3) + f64(2) + i32(4) + i32(7)))


def category_series(record, momentary=0):
    fields = (category(record, -8, momentary, record(-15, b"")) + int_field(12, 0) +
              int_field(16, 0xFF) + byte_field(19, 1) + byte_field(20, 0x12) +
              string_field(11, b"Care") + category_points())
    return record(-13, fields)


def care_items(record):
    return record(-20, identities(record) + record(-19, identities(record)) +
                  record(-22, record(-21, identities(record))))


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
        yield kind + "_category", file(checksums, lambda r: [category(r), category(r, -8, 1)])
        yield kind + "_options", file(checksums, lambda r: [options(r)])
        yield kind + "_category_series", file(checksums, lambda r: [category_series(r),
                                                                   category_series(r, 1)])
        yield kind + "_category_quick_save", file(checksums, lambda r: [
            r(-17, int_field(2020, -13) + string_field(11, b"q") + category_points() +
              category(r))])
        yield kind + "_care_items", file(checksums, lambda r: [care_items(r)])
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
    yield "special_series", file(False, special_series)
    yield "checked_special_series", file(True, special_series)
    for i, name in enumerate(["calendar", "years", "day_line", "duration", "logarithmic", "no_step"]):
        yield "drawn_axis_" + name, file(False, lambda r, i=i: [drawn_axes(r)[i],
                                                                 special(r, 10, 0x10, [
                                                                     plain(26, f64(45000.1) + i32(1) +
                                                                           string_field(9, b"e"))])])


def main():
    write_seeds(os.path.join(HERE, "corpus"), seeds())


if __name__ == "__main__":
    main()
