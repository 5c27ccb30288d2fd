#!/usr/bin/env python3
"""Writes the hand-made seeds of the analyzer link's fuzzer into corpus/.

Each seed is two control bytes (limits and piece size, see link_fuzz_target.cpp)
followed by what the line carries. Run from anywhere; the capture fixture is read
from ../tests/data.
"""
import hashlib
import os

HERE = os.path.dirname(os.path.abspath(__file__))
STX, ETX, EOT, ENQ, ETB, CR, LF = b"\x02", b"\x03", b"\x04", b"\x05", b"\x17", b"\r", b"\n"


def checksum(text: bytes) -> bytes:
    return b"%02X" % (sum(text) % 256)


def frame(digit: str, record: str, end: bytes = ETX, trailer: bytes = CR + LF, cs=None) -> bytes:
    body = digit.encode("latin-1") + record.encode("latin-1") + CR + end
    return STX + body + (cs if cs is not None else checksum(body)) + trailer


def message(records, last_end=ETX) -> bytes:
    out = ENQ
    for i, record in enumerate(records):
        digit = str((i + 1) % 8)
        out += frame(digit, record, last_end if i == len(records) - 1 else ETB)
    return out + EOT


RECORDS = [
    "H|\\^&|||ABL800^42|||||||P|1|20240105120000",
    "P|1||12.345-67,8||Doe^Jane",
    "O|1||Sample #^7|||||||||||||Blood^Arterial",
    "R|1|^^^pO2^M|12.5|kPa|||||||20240105115900",
    "R|2|^^^pH^M|.....||||||||",
    "R|3|^^^BE^M|-2.1|mmol/L||||||||",
    "L|1|N",
]


def seeds():
    with open(os.path.join(HERE, "..", "tests", "data", "02_abl80basic_capture_frames.astm"), "rb") as f:
        capture = f.read()
    yield b"\x00\x05" + ENQ + capture + EOT
    yield b"\x01\x0f" + ENQ + capture + EOT
    yield b"\x00\x00" + message(RECORDS)
    # A record split over two frames, a repeated frame, a NAK and its repeat.
    split = ENQ + frame("1", RECORDS[0], ETB) + STX + b"2P|1||123" + ETB
    split += checksum(b"2P|1||123" + ETB) + CR + LF
    split += frame("3", "456||Doe^Jane", ETB) + frame("3", "456||Doe^Jane", ETB)
    split += frame("4", RECORDS[3], ETB, cs=b"00") + frame("4", RECORDS[3], ETB)
    split += frame("5", "L|1|N", ETX) + EOT
    yield b"\x02\x03" + split
    # Restart, give-up, lower-case checksum, NUL bytes and junk, bare trailers.
    messy = ENQ + frame("1", RECORDS[0], ETB) + ENQ + frame("1", RECORDS[1], ETB) + EOT
    messy += b"junk\x00\x00" + frame("2", RECORDS[2], ETB, cs=checksum((b"2" + RECORDS[2].encode() + CR + ETB)).lower())
    messy += frame("3", RECORDS[4], ETX, trailer=CR) + frame("4", RECORDS[5], ETX, trailer=LF)
    messy += frame("5", "P|1||2", ETX, trailer=b"") + frame("6", "P|1||../../etc", ETX) + EOT
    yield b"\x03\x01" + messy
    # Several records in one frame; an empty record; an empty message.
    many = ENQ + frame("1", "H|\\^&\rP|1||3\rO|1||||||||||||||||Gas^", ETB)
    many += STX + CR + ETX + checksum(CR + ETX) + CR + LF
    many += frame("2", "R|1|^^^pCO2|5,3|kPa", ETX) + EOT + ENQ + EOT
    yield b"\x00\x07" + many
    # A long run with no frame end, and a frame over the small limits.
    yield b"\x01\x0f" + b"A" * 600 + frame("1", "R|" + "9" * 120, ETX) + EOT


def write_seeds(folder, seeds):
    """Writes each seed of Seeds into Folder, named by its SHA-1 as libFuzzer names
    the inputs it keeps."""
    os.makedirs(folder, exist_ok=True)
    for seed in seeds:
        with open(os.path.join(folder, hashlib.sha1(seed).hexdigest()), "wb") as f:
            f.write(seed)


def main():
    write_seeds(os.path.join(HERE, "corpus"), seeds())


if __name__ == "__main__":
    main()
