#!/usr/bin/env python3
"""Writes the seed corpus of the three fuzz targets into fuzz/corpus/<target>/.

Each seed is a small input in the target's own layout (see the comment at the top of each
*_fuzzer.cpp): valid requests of every letter, status frames of both families, stripe frames,
'M' answers and library answers. Run it again after changing a layout; the files are committed.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
STX, ETX, ESC = b"\x02", b"\x03", b"\x1b"


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- printer bytes -------------------------------------------------------------------------
ANY, STATUS, REQ_A, REQ_B = 0, 1, 2, 3
PROBE, QUERY, MSRREAD, MSRPOLL, PAPERIN, PRINTAT, MSRWRITE, PAPEROUT, PRINTCHITAT, INIT = range(10)


def chunk(data, trigger=STATUS, delay=2, gap=0):
    return bytes([trigger]) + struct.pack("<H", delay) + bytes([gap, len(data)]) + data


def frame_a(status):
    return STX + b"x" + b"r" + bytes([status]) + ETX


def answer_b(bits):
    return b"\x40x" + bytes([bits])


def ops(*steps):
    body = b"".join(steps)
    return bytes([len(steps) - 1]) + body


def printer_bytes():
    fam0, fam1, unknown, cts_off = 0, 1, 2, 4
    seeds = {
        "probe_family0": bytes([unknown]) + ops(bytes([PROBE])) + chunk(b"?", REQ_A),
        "probe_family1": bytes([unknown]) + ops(bytes([PROBE])) + chunk(b"@", REQ_B),
        "probe_silent": bytes([unknown]) + ops(bytes([PROBE])),
        "status_a_normal": bytes([fam0]) + ops(bytes([QUERY])) + chunk(frame_a(ord("P"))),
        "status_a_garbage_code": bytes([fam0]) + ops(bytes([QUERY])) + chunk(frame_a(0x90)),
        "status_a_jam": bytes([fam0]) + ops(bytes([QUERY])) + chunk(frame_a(49)) + chunk(frame_a(ord("P"))),
        "status_a_not_r": bytes([fam0]) + ops(bytes([QUERY])) + chunk(STX + b"xq" + b"A" + ETX) * 6,
        "status_a_slow": bytes([fam0]) + ops(bytes([QUERY])) + chunk(frame_a(ord("A")), gap=3),
        "status_b_bits": bytes([fam1]) + ops(bytes([QUERY]), bytes([QUERY]), bytes([QUERY]), bytes([QUERY]))
        + chunk(answer_b(0x21)) + chunk(answer_b(0x22)) + chunk(answer_b(0x20)) + chunk(answer_b(0x00)),
        "status_b_missing_bits": bytes([fam1]) + ops(bytes([QUERY])) + chunk(b"\x40"),
        "status_b_a_and_e": bytes([fam1]) + ops(bytes([QUERY]), bytes([QUERY]))
        + chunk(b"A") + chunk(answer_b(1)) + chunk(b"E") + chunk(answer_b(1)),
        "status_b_m": bytes([fam1]) + ops(bytes([QUERY])) + chunk(b"M~~1234567890ABCDEF\xff"),
        "status_b_cts_off": bytes([fam1 | cts_off]) + ops(bytes([QUERY])) + chunk(answer_b(1)),
        "msrread_a_frame": bytes([fam0]) + ops(bytes([MSRREAD, 128]))
        + chunk(frame_a(ord("A"))) + chunk(STX + ESC + b"s" + b"12:34567890ABC:D" + ETX, ANY),
        "msrread_a_status_first": bytes([fam0]) + ops(bytes([MSRREAD, 128]))
        + chunk(frame_a(ord("A"))) + chunk(frame_a(ord("A")) + STX + ESC + b"s" + b"0123456789ABCDEF" + ETX, ANY),
        "msrread_a_unformatted": bytes([fam0]) + ops(bytes([MSRREAD, 128]))
        + chunk(frame_a(ord("A"))) + chunk(STX + b"xr\x7f" + ETX, ANY),
        "msrread_a_small": bytes([fam0]) + ops(bytes([MSRREAD, 4]))
        + chunk(frame_a(ord("A"))) + chunk(STX + ESC + b"s" + b"0123456789" + ETX, ANY),
        "msrpoll_a": bytes([fam0]) + ops(bytes([MSRPOLL, 255]))
        + chunk(frame_a(ord("A"))) + chunk(STX + ESC + b"s" + b"0000000000000000" + ETX, ANY),
        "msrread_b": bytes([fam1]) + ops(bytes([MSRREAD, 128]))
        + chunk(answer_b(0)) + chunk(answer_b(0)) + chunk(b"M~~1234:5678\xff"),
        "msrpoll_b_small": bytes([fam1]) + ops(bytes([MSRPOLL, 4])) + chunk(b"M~~1234567890\xff"),
        "msrwrite_a": bytes([fam0]) + ops(bytes([MSRWRITE, 5]) + b"12345")
        + chunk(frame_a(ord("A"))) + chunk(frame_a(ord("A"))),
        "msrwrite_b_busy": bytes([fam1]) + ops(bytes([MSRWRITE, 16]) + b"0123456789ABCDEF")
        + chunk(answer_b(0)) + chunk(answer_b(0x20)) + chunk(answer_b(0x20)) + chunk(answer_b(0)),
        "paperin_a": bytes([fam0]) + ops(bytes([PAPERIN, 0])) + chunk(frame_a(ord("P"))) + chunk(frame_a(ord("A"))),
        "paperin_a_chit_ejected": bytes([fam0]) + ops(bytes([PAPERIN, 0]))
        + chunk(frame_a(ord("B"))) + chunk(frame_a(ord("B"))) + chunk(frame_a(ord("P"))) + chunk(frame_a(ord("A"))),
        "paperin_b_chit": bytes([fam1]) + ops(bytes([PAPERIN, 1])) + chunk(answer_b(1)) + chunk(answer_b(0)),
        "printat_a": bytes([fam0]) + ops(bytes([PRINTAT, 10, 3, 5]) + b"HELLO") + chunk(frame_a(ord("A"))) * 6,
        "printat_b": bytes([fam1]) + ops(bytes([PRINTAT, 10, 3, 4]) + b"a\xb0\xa1b") + chunk(answer_b(0)) * 3,
        "printchitat_a": bytes([fam0]) + ops(bytes([PRINTCHITAT, 1, 1, 3]) + b"abc") + chunk(frame_a(ord("B"))) * 6,
        "paperout_a": bytes([fam0]) + ops(bytes([PAPEROUT])) + chunk(frame_a(ord("A"))) + chunk(frame_a(ord("P"))),
        "paperout_b": bytes([fam1]) + ops(bytes([PAPEROUT])) + chunk(answer_b(0)) + chunk(answer_b(1)),
        "paperout_a_silent": bytes([fam0]) + ops(bytes([PAPEROUT])),
        "init_b": bytes([fam1]) + ops(bytes([INIT])) + chunk(answer_b(1)),
    }
    for name, data in seeds.items():
        write("printer_bytes", name, data)


# ---- library answers -------------------------------------------------------------------------
def lib_ops(*steps):
    return bytes([len(steps) - 1]) + b"".join(steps)


def answer(value):
    if -128 <= value <= 126:
        return struct.pack("<b", value)
    return b"\xff" + struct.pack("<i", value)


def read_fill(result, data):
    return answer(result) + struct.pack("<H", len(data)) + data


def library_answers():
    complete, missing_file, missing_export, port2, retry_yes = 0, 2, 3, 4, 8
    opened = answer(1) + answer(1)  # WriteCommand, PrtIsPowerOn
    seeds = {
        "all_call_sites": bytes([complete, 0])
        + lib_ops(b"\x00", b"\x01\x00", b"\x02\x80", b"\x04\x05" + b"12345", b"\x05", b"\x06", b"\x07")
        + opened + answer(0) + answer(3) + answer(1)  # paper in: not yet, not yet, in
        + answer(1) + read_fill(1, b":1234567890") + answer(65) + answer(1) + answer(1) + answer(1),
        "port2_power_off": bytes([complete | port2 | retry_yes, 0])
        + lib_ops(b"\x00") + answer(1) + answer(1) + answer(0) + answer(1) + answer(1) + answer(0),
        "missing_file": bytes([missing_file, 0]) + lib_ops(b"\x00", b"\x01\x00", b"\x07"),
        "missing_last_export": bytes([missing_export, 17]) + lib_ops(b"\x00", b"\x02\x10"),
        "paperin_nine_and_sixteen": bytes([complete, 0]) + lib_ops(b"\x00", b"\x01\x00", b"\x01\x01")
        + opened + answer(9) + answer(2) + answer(16),
        "stripe_read_full_buffer": bytes([complete, 0]) + lib_ops(b"\x00", b"\x02\xff", b"\x03\x10")
        + opened + answer(1) + read_fill(1, b"X" * 512) + answer(1) + read_fill(1, b"\x00abc"),
        "stripe_read_refused": bytes([complete, 0]) + lib_ops(b"\x00", b"\x02\x80", b"\x02\x80")
        + opened + answer(0) + answer(1) + read_fill(0, b":12"),
        "stripe_write_codes": bytes([complete, 0]) + lib_ops(b"\x00", b"\x04\x03abc", b"\x04\x00")
        + opened + answer(242) + answer(113),
        "gate_requests": bytes([complete, 0])
        + lib_ops(b"\x08\x30", b"\x09", b"\x0a\x04" + b"9876", b"\x0b", b"\x07", b"\x0c")
        + opened + answer(1) + answer(1) + read_fill(1, b":55555") + answer(65) + answer(1) + answer(1)
        + answer(1) + read_fill(1, b":advised"),
    }
    for name, data in seeds.items():
        write("library_answers", name, data)


# ---- client blocks ---------------------------------------------------------------------------
IMMEDIATE, QUEUED, MAIN, DISPATCH, LOOP, CLOSE, NULLDATA, OPERATOR = range(8)


def request(letter, field1=0, field2=0, option="0", data=b"", size=None):
    text = letter.encode() + b"%02d%02d" % (field1, field2) + option.encode() + b"%03d" % len(data) + data
    if size is not None:
        text = text.ljust(size, b"\0")
    return text


def immediate(text, gate=0):
    return bytes([IMMEDIATE, gate]) + struct.pack("<H", len(text)) + text


def queued(text, gate=0, tag=0):
    text = text.ljust(108, b"\0")
    return bytes([QUEUED, gate, tag]) + struct.pack("<H", len(text)) + text


def client_blocks():
    # setup: family 0, MODEL "0", wait event, yes to the close question, TRACE off
    fam0 = 0x00 | (0 << 1) | 0x08 | 0x10
    fam1 = 0x01 | (1 << 1) | 0x08 | 0x10
    passbook, chit = 1, 2
    every_letter = b"".join([
        immediate(request("A")),
        immediate(request("U")),
        immediate(request("C", 12, 5)),
        immediate(request("I", option="0")),
        immediate(request("L", 5, 10, "1", b"HELLO \x0e\x0f")),
        immediate(request("L", 6, 10, "2", b"\xb0\xa1\xb0\xa2")),
        immediate(request("M", data=b"0123456789ABCDEF")),
        immediate(request("R", size=89)),
        immediate(request("O")),
        immediate(request("I", option="1")),
        immediate(request("L", 1, 1, "3", b"chit line")),
        immediate(request("S")),
    ])
    seeds = {
        "every_letter_family0": bytes([fam0, passbook, 0, 0, 0]) + every_letter,
        "every_letter_family1": bytes([fam1, passbook, 0, 0, 0]) + every_letter,
        "queued_letters": bytes([fam0, passbook, 0, 0, 0])
        + queued(request("C", 12, 5)) + queued(request("L", 2, 3, "4", b"queued")) + queued(request("R"), tag=1)
        + queued(request("M", data=b"1111")) + bytes([DISPATCH]) + bytes([DISPATCH]) + bytes([LOOP, 50]),
        "advise_and_poll": bytes([fam0, 0, 0, 20, 0]) + immediate(request("A")) + bytes([LOOP, 40])
        + immediate(request("U")),
        "advise_family1": bytes([fam1, passbook, 0, 0, 0]) + immediate(request("A")) + bytes([LOOP, 30]),
        "registrations": bytes([fam0, passbook, 0, 0, 0])
        + bytes([MAIN, 1, 1, 0]) + bytes([MAIN, 1, 1, 1]) + immediate(request("O"), gate=1)
        + bytes([MAIN, 2, 1, 0]) + bytes([MAIN, 2, 1, 0]) + bytes([CLOSE, 0]) + bytes([MAIN, 3, 0, 0])
        + bytes([DISPATCH]),
        "refusals": bytes([fam0, passbook, 0, 0, 0])
        + immediate(b"L") + immediate(request("L", 1, 1, "1", b"x" * 20)[:12]) + immediate(request("R"))
        + immediate(request("M", data=b"")) + immediate(b"L01-1" + b"1005HELLO")
        + bytes([QUEUED, 0, 0]) + struct.pack("<H", 40) + b"A" * 40
        + bytes([NULLDATA, 0, 0, 100, 0]) + bytes([NULLDATA, 0, 1, 100, 0]),
        "no_printer_silent": bytes([fam0 & ~0x06 | (2 << 1), 0x10, 0, 0, 0]) + immediate(request("I")),
        "operator_inserts": bytes([fam0, 0, 0, 0, 0]) + bytes([OPERATOR, 1]) + immediate(request("I", option="1"))
        + bytes([OPERATOR, 2]) + bytes([OPERATOR, 0]) + immediate(request("R", size=120)),
        "library_model": bytes([0x06 | 0x08, 0, 0, 0, 0]) + immediate(request("S")) + immediate(request("I")),
        # Lengths one byte longer than the block holds behind the fixed fields, or than the print and
        # stripe buffers take, and a block one byte short of the fixed fields: refused, never read.
        "one_byte_short": bytes([fam0, passbook, 0, 0, 0])
        + immediate(request("L", 1, 1, "3", b"x" * 5)[:13]) + immediate(request("M", data=b"y" * 5)[:13])
        + immediate(request("L", 1, 1, "3", b"z" * 129)) + immediate(request("M", data=b"w" * 128))
        + immediate(request("C", 12, 5)[:8]),
    }
    for name, data in seeds.items():
        write("client_block", name, data)


def main():
    printer_bytes()
    library_answers()
    client_blocks()
    return 0


if __name__ == "__main__":
    sys.exit(main())
