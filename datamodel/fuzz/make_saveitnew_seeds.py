#!/usr/bin/env python3
"""Writes the save component's fuzzer seeds into saveitnew_corpus/: monitor-data files as the
component makes them (new, with definitions and points, with a grown block, with a
torn last record), and data files of the other kinds its loader reads (plots with
axes, series and templates, video controllers, care events, files before 2.0)."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing left behind in the other folder
sys.path.insert(0, os.path.join(HERE, "..", "..", "datafile", "fuzz"))
from make_seeds import CHECKED, PLAIN, checked, i32, plain as rec, point, text, write_seeds  # noqa: E402


def s(tag, t):
    return i32(tag) + text(t)


def n(tag, v):
    return i32(tag) + i32(4) + i32(v)


def datafile(body, version=b"2.0", after=b""):
    return rec(1, s(9, PLAIN + version) + body) + after


def definition(index, name, unit):
    return rec(210, n(211, index & 0xFFFF) + s(212, name) + s(213, b"Arterial") + s(214, b"") +
               s(215, unit) + s(216, b""))


def monitor(reserved, definitions=b"", after=b""):
    body = (rec(3, n(2, 8) + n(30, 0)) +
            rec(200, s(201, b"Radiometer ABLxxx") + s(202, b"") + s(203, b"123456-7890") +
                s(204, b"Berg")) +
            definitions + rec(205, bytes(reserved)))
    return datafile(body, after=after)


def seeds():
    points = point(0, 45000.1, 12.5) + point(1, 45000.2, 7.41) + point(0, 45000.05, 12.1)
    defs = definition(0, b"pO2", b"kPa") + definition(1, b"pH", b"")
    yield "monitor_new", monitor(64)
    yield "monitor_points", monitor(64, defs, points)
    yield "monitor_full_block", monitor(0, defs, points)
    yield "monitor_torn", monitor(64, defs, points + point(1, 45000.3, 7.3)[:11])
    yield "monitor_other", monitor(
        64, defs,
        rec(85, struct.pack("<hdd", 0, 45000.15, 0)) +
        rec(221, struct.pack("<hddB", 1, 45000.2, 7.2, 1) + text(b"V1") + i32(2)) + points)
    yield "monitor_foreign", datafile(
        rec(3, n(2, 8)) + rec(200, s(201, b"Other") + s(202, b"") + s(203, b"1") + s(204, b"A")) +
        rec(205, bytes(8)))
    yield "video", datafile(
        rec(3, n(2, 10) + n(30, 0)) +
        rec(232, s(231, b"a.avi") + s(203, b"A") + s(204, b"B")) +
        rec(230, struct.pack("<di", 45000.5, 3)))
    series = rec(4, n(12, 0) + n(13, 0) + s(11, b"pO2") +
                 rec(22, struct.pack("<ddi", 1.0, 2.0, 1)) +
                 rec(159, i32(160) + i32(8) + struct.pack("<d", 0.5)))
    yield "plot", datafile(
        rec(3, n(2, 1) + n(30, 0) + s(203, b"P") + s(204, b"N")) + rec(5, n(124, 1)) +
        rec(6, b"") + series + rec(8, n(157, 25) + s(129, b"T")) + s(70, b"{\\rtf1}") +
        rec(-7, rec(0, s(2012, b"a"))) + rec(-6, s(2006, b"c")) + rec(81, b"") +
        rec(-13, s(11, b"x")))
    yield "plot_checked", checked(
        1, s(9, CHECKED + b"2.0") + checked(5, n(124, 0)) +
        checked(4, s(11, b"y") + checked(22, struct.pack("<ddi", 1.0, 2.0, 1))))
    legacy = rec(4, rec(21, struct.pack("<ddddiii", 1, 2, 0.1, 0.2, 3, 1, 1)) +
                 rec(26, struct.pack("<di", 2, 9) + text(b"ev") + i32(2)) +
                 rec(27, struct.pack("<dddi", 3, 4, 5, 3) + i32(9) + text(b"U1") + i32(9) +
                     text(b"I") + i32(1)))
    yield "legacy_1_5", datafile(rec(3, n(2, 1)) + legacy, b"1.5")
    yield "legacy_1_4", datafile(rec(3, n(2, 1)) + rec(4, rec(22, struct.pack("<dd", 1, 2))),
                                 b"1.4")


def main():
    write_seeds(os.path.join(HERE, "saveitnew_corpus"), seeds())


if __name__ == "__main__":
    main()
