#!/usr/bin/env python3
"""Writes the hand-made seeds of the TCP stream decoders' fuzzer into stream_corpus/.

Each seed is two control bytes (see stream_fuzz_target.cpp: bit 0 of the first
chooses the relay link over the analyzer feed, bit 1 small limits, bit 2 a closing
connection at the end; the second the piece size) followed by what the connection
carries. Run from anywhere; the ABL9 fixture is read from ../tests/data.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing left behind beside the scripts
sys.path.insert(0, HERE)
from make_seeds import write_seeds  # noqa: E402

SOH, STX, ETX, EOT, ENQ, LF, CR, ETB = b"\x01", b"\x02", b"\x03", b"\x04", b"\x05", b"\n", b"\r", b"\x17"

FEED, RELAY, SMALL, CLOSE = 0, 1, 2, 4


def relay_line(line: bytes) -> bytes:
    return ENQ + STX + line + CR + LF + ETX


def relayed(lines) -> bytes:
    return b"".join(relay_line(line) for line in lines) + EOT


def seeds():
    with open(os.path.join(HERE, "..", "tests", "data", "04_abl9_soh_eot_message.astm"), "rb") as f:
        abl9 = f.read()
    abl9_lines = [b"1" + line for line in abl9[1:-1].split(CR) if line]
    yield bytes([FEED, 0]) + abl9
    yield bytes([FEED | CLOSE, 6]) + abl9 + abl9[: len(abl9) // 2]
    yield bytes([FEED | SMALL, 3]) + abl9
    yield bytes([RELAY, 0]) + relayed(abl9_lines) + CR
    yield bytes([RELAY | CLOSE, 9]) + relayed(abl9_lines[:5]) + relay_line(abl9_lines[5])[:7]
    yield bytes([RELAY | SMALL, 2]) + relayed(abl9_lines[:8])
    # The feed: two messages in one read, lines without SOH, a restart, NUL and LF,
    # empty records, a last line without its CR.
    yield bytes([FEED, 15]) + SOH + b"H|a\rP|1\r" + EOT + SOH + b"H|b\r\x00\n\r\rL|1" + EOT
    yield bytes([FEED | CLOSE, 1]) + b"H|a\r" + SOH + b"H|b\rP|" + SOH + b"R|1\r" + EOT + b"O|"
    yield bytes([FEED | SMALL, 4]) + SOH + b"x" * 40 + CR + b"R|1\r" * 6 + EOT
    # The relay link: lifeticks, a line cut by the next ENQ or an EOT, framing bytes
    # inside lines, stray bytes between units, an overlong line.
    yield bytes([RELAY, 5]) + CR + relay_line(b"1H|a") + CR + relay_line(b"2P|1") + EOT + CR
    yield bytes([RELAY, 3]) + ENQ + STX + b"1H|a" + relay_line(b"2P|1") + ENQ + b"3O|" + EOT
    yield bytes([RELAY, 7]) + ENQ + b"junk" + STX + b"1R|1" + ETB + b"AB\r\n" + ETX + ETX + LF + b"\x00zz" + EOT
    yield bytes([RELAY | SMALL | CLOSE, 11]) + ENQ + STX + b"y" * 40 + CR + LF + ETX + relayed([b"1R|1"] * 6)


def main():
    write_seeds(os.path.join(HERE, "stream_corpus"), seeds())


if __name__ == "__main__":
    main()
