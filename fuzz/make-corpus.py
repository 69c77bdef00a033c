#!/usr/bin/env python3
"""Writes the seed corpora of the console's fuzz targets (fuzz/corpus/<target>/).

Each seed follows the input layout its target documents, so the fuzzer
starts from sessions, answers and stores that the console accepts and from
the near misses next to them. Run it again after changing a layout; the
files are committed.
"""
import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
POS = b"00000042"
SESSION = b"000001"


def frame(fields, check=None):
    body = b"".join(struct.pack("<hi", fid, len(data)) + data for fid, data in fields)
    head = b"\x01" + struct.pack("<i", len(body)) + body
    x = 0
    for b in head:
        x ^= b
    return head + bytes([x if check is None else check])


def msg(code, *fields, pos=POS, session=SESSION, check=None):
    return frame([(1, code), (2, pos), (3, session)] + list(fields), check)


def chunks(*parts):
    out = b""
    for p in parts:
        while p:
            out += bytes([min(len(p), 255)]) + p[:255]
            p = p[255:]
    return out


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def incoming():
    t = "fuzz_incoming"
    receipt = frame([(1, b"KVIITUNG"), (2, b"Summa 12.50")])
    approve = msg(b"0012", (13, struct.pack("<i", 4711)), (12, receipt))
    close = msg(b"0023")
    decline = msg(b"0006", (5, b"Keeldutud"), (9, b"051"))
    status = msg(b"0002", (5, b"Sisestage PIN"))
    keep = msg(b"0003")
    button = msg(b"0008", (5, b"Kas klient on p\xfcsiklient?"), (10, struct.pack("<i", 36)))
    inputbox = msg(b"0009", (5, b"Sisestage kood"), (10, struct.pack("<i", 0)), (14, b"\x01"))
    release = msg(b"0004")
    poscmd = msg(b"0027", (5, b"OK"))
    record = frame([(1, b"T1"), (2, b"260115101500"), (3, struct.pack("<i", 7)),
                    (4, struct.pack("<d", 12.5)), (5, b"4444********1111"), (6, b"\x00"),
                    (7, b"000000"), (8, struct.pack("<i", 0)), (9, struct.pack("<i", 0))])
    report = msg(b"0020", (10, struct.pack("<i", 1)), (6, struct.pack("<i", 0)), (100, record))
    write(t, "payment_status_approve_close", b"\x00\x00" + chunks(status, keep, approve, close))
    write(t, "payment_in_one_read", b"\x00\x00" + chunks(status + keep + approve + close))
    write(t, "payment_byte_by_byte", b"\x00\x00" + b"".join(b"\x01" + bytes([c]) for c in status + approve))
    write(t, "cancellation_decline", b"\x01\x00" + chunks(decline, close))
    write(t, "tip_prompts", b"\x02\x00" + chunks(button, inputbox, release, approve))
    write(t, "booking_approve", b"\x03\x00" + chunks(approve, close))
    write(t, "completion_decline_other", b"\x04\x00" + chunks(msg(b"0013", (5, b"Viga")), close))
    write(t, "report_answer", b"\x05\x00" + chunks(status, report))
    write(t, "pos_command_response", b"\x06\x07" + chunks(poscmd, close))
    write(t, "closing_close", b"\x07\x00" + chunks(close))
    write(t, "closing_late_frames", b"\x07\x00" + chunks(status, approve, close, status))
    write(t, "other_pos", b"\x00\x00" + chunks(msg(b"0002", (5, b"x"), pos=b"00000043"), status))
    write(t, "other_session", b"\x00\x00" + chunks(msg(b"0012", (13, b"\0\0\0\0"), session=b"000002")))
    write(t, "session_as_decimal", b"\x00\x00" + chunks(msg(b"0002", (5, b"y"), session=b" 1.0")))
    write(t, "bad_check_byte", b"\x00\x00" + chunks(msg(b"0002", (5, b"z"), check=0x55), status))
    write(t, "unchecked", b"\x00\x00" + chunks(msg(b"0002", (5, b"u"), check=0x2C)))
    write(t, "negative_length", b"\x00\x00" + chunks(b"\x01\xff\xff\xff\xff\x00", status))
    write(t, "huge_announced", b"\x00\x00" + chunks(b"\x01\x00\x00\x00\x10" + b"A" * 200, b"B" * 200))
    write(t, "no_start_byte", b"\x00\x00" + chunks(b"garbage", status))


def report():
    t = "fuzz_report"

    def field(how, data):
        return bytes([how]) + data

    def record(fields):
        present = 0
        data = b""
        for fid, how, value in fields:
            present |= 1 << (fid - 1)
            data += field(how, value)
        return b"\x30" + struct.pack("<H", present) + data

    full = record([(1, 0, b"T1"[:0]), (2, 0, b"260115101500"), (3, 0, struct.pack("<i", 7)),
                   (4, 0, struct.pack("<d", 12.5)), (5, 0, b""), (6, 0, b"\x00"),
                   (8, 0, struct.pack("<i", 0)), (9, 0, struct.pack("<i", 0))])
    cancelled = record([(2, 0, b"260115101500"), (4, 0, struct.pack("<d", 3.25)),
                        (6, 0, b"\xc8"), (9, 0, struct.pack("<i", 1))])
    declined = record([(4, 0, struct.pack("<d", 99.99)), (8, 0, struct.pack("<i", 51))])
    odd = record([(3, 0x83, b"abc"), (4, 0x85, b"12345"), (8, 0x82, b"xy")])
    big = record([(4, 0, struct.pack("<d", 1e300)), (8, 0, struct.pack("<i", 0))])
    # flags: bit 0 only approved, bits 1-3 grouping, bit 4 raw count, bit 5 raw status
    write(t, "one_record", b"\x00\x01\x01" + full)
    write(t, "three_grouped_by_terminal", b"\x02\x03\x01" + full + cancelled + declined)
    write(t, "grouped_by_code_only_approved", b"\x09\x03\x01" + full + declined + cancelled)
    write(t, "odd_sizes", b"\x04\x02\x01" + odd + full)
    write(t, "raw_record", b"\x00\x02\x01" + b"\x05\x06\x01\x02\x00\x00\x00" + full)
    write(t, "missing_record", b"\x00\x02\x01\x20" + full)
    write(t, "bad_status", b"\x00\x01\x0b" + full)
    write(t, "raw_count", b"\x10\x02\x04\xff\xff\xff\x7f\x01" + full)
    write(t, "large_amounts", b"\x0a\x03\x01" + big + big + full)


def store():
    t = "fuzz_store"
    write(t, "empty_hive", b"\x01")
    write(t, "settings", b"\x01[SOFTWARE]\n[SOFTWARE\\Kerlan]\n[SOFTWARE\\Kerlan\\Tellar]\n"
          b"POS=1:00000042\nKKAddress=1:127.0.0.1\nKKPort=1:8145\nSession=1:000017\n")
    write(t, "escapes", b"\x01[SOFTWARE\\K%5Bx%5D]\n%3Dname=3:%00%01%25%7F data\n=1:\n")
    write(t, "case_twins", b"\x01[Software]\n[SOFTWARE]\nA=1:1\na=1:2\n")
    write(t, "no_header", b"\x00[SOFTWARE]\nPOS=1:1\n")
    write(t, "cut_short", b"\x01[SOFTWARE]\nPOS=1:1")
    write(t, "lower_hex", b"\x01[SOFTWARE]\nPOS=1:%0a\n")
    write(t, "value_before_key", b"\x01POS=1:1\n")


def frame_reader():
    # The session byte (0x02 -> session 3), then the reads the bytes arrive in.
    t = "fuzz_frame_reader"
    mine = dict(pos=b"00000000", session=b"000003")

    def reads(data, size):
        return b"\x02" + b"".join(bytes([len(data[i:i + size])]) + data[i:i + size]
                                   for i in range(0, len(data), size))

    approve = msg(b"0012", (13, struct.pack("<i", 123)), **mine)
    keep = msg(b"0003", **mine)
    write(t, "approval_whole", reads(approve, 200))
    write(t, "approval_byte_by_byte", reads(approve, 1))
    write(t, "noise_then_two_frames", reads(b"\r\nxx" + msg(b"0002", (5, b"Oodake"), **mine) + keep, 7))
    write(t, "other_pos_then_ours", reads(msg(b"0012", pos=b"KASSA099", session=b"000003") + keep, 50))
    write(t, "other_session", reads(msg(b"0012", pos=b"00000000", session=b"000002")
                                    + msg(b"0012", pos=b"00000000", session=b"3"), 40))
    write(t, "negative_length", reads(b"\x01\xff\xff\xff\xff" + keep, 30))
    write(t, "bad_check_byte", reads(msg(b"0012", check=0, **mine) + keep, 64))


def till_message():
    # Frames of the till hand-off (4-byte big-endian length, XML), in reads.
    t = "fuzz_till_message"
    os.makedirs(os.path.join(HERE, "corpus", t), exist_ok=True)
    ns = b'xmlns="http://www.nrf-arts.org/IXRetail/namespace"'

    def doc(kind, rid, body=b""):
        return (b'<?xml version="1.0" encoding="UTF-8"?><CardServiceRequest ' + ns + b' RequestType="' + kind
                + b'" ApplicationSender="Kassa" WorkstationID="K1" RequestID="' + rid + b'">' + body
                + b"</CardServiceRequest>")

    def frame(d):
        return struct.pack(">I", len(d)) + d

    def reads(data, size):
        return b"".join(bytes([len(data[i:i + size])]) + data[i:i + size] for i in range(0, len(data), size))

    pay = doc(b"CardPayment", b"17", b"<POSdata><POSTimeStamp>2026-12-08T10:15:00</POSTimeStamp>"
              b"<TransactionNumber>4711</TransactionNumber></POSdata>"
              b'<TotalAmount Currency="EUR">12.50</TotalAmount>')
    write(t, "payment_whole", reads(frame(pay), 255))
    write(t, "payment_byte_by_byte", reads(frame(pay), 1))
    write(t, "reversal_and_abort", reads(frame(doc(b"PaymentReversal", b"18",
                                                   b'<OriginalTransaction STAN="1001"/>'
                                                   b'<TotalAmount Currency="EUR">12.50</TotalAmount>'))
                                             + frame(doc(b"AbortRequest", b"18")), 100))
    write(t, "latin1", reads(frame(b'<?xml version="1.0" encoding="ISO-8859-1"?>'
                                   + doc(b"RepeatLastMessage", b"\xf5").split(b"?>", 1)[1]), 60))
    write(t, "doctype", reads(frame(b'<!DOCTYPE x [<!ENTITY e "1">]>' + doc(b"CardPayment", b"1", b"&e;")), 90))
    write(t, "over_long", reads(b"\x00\x01\x00\x01" + pay, 120))


def scenario():
    t = "fuzz_scenario"
    folder = os.path.join(HERE, "..", "sim", "scenarios")
    for name in sorted(os.listdir(folder)):
        if name.endswith(".json"):
            shutil.copy(os.path.join(folder, name), os.path.join(HERE, "corpus", t, name))


if __name__ == "__main__":
    os.makedirs(os.path.join(HERE, "corpus", "fuzz_scenario"), exist_ok=True)
    incoming()
    report()
    store()
    frame_reader()
    till_message()
    scenario()
    sys.exit(0)
