#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

    python3 fuzz/make_corpus.py          # (re)writes the seed files
    python3 fuzz/make_corpus.py --check  # fails when a committed seed differs

Each seed is a small file named after what it shows. Regression inputs (found
by fuzzing and fixed) sit beside the seeds as regress-*; this script never
touches them. The input layouts are described at the top of each
<Name>Fuzzer.cpp.
"""

import argparse
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def crc16(data: bytes) -> int:
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def with_crc(data: bytes) -> bytes:
    return data + struct.pack("<H", crc16(data))


def sentence(body: bytes, digits: str = None) -> bytes:
    check = 0
    for b in body:
        check ^= b
    if digits is None:
        digits = "%02X" % check
    return b"$" + body + b"*" + digits.encode() + b"\r\n"


# --- fuzz_sentence: the bytes of one reply sentence ------------------------------------

def sentence_seeds():
    s = {
        "hello-ack": sentence(b"ASACK,GU48A0012345,00"),
        "hello-ack-report-0c": sentence(b"ASACK,GU48A0012345,0c"),
        "hello-ack-report-spaces": sentence(b"ASACK,GU1, 8 "),
        "hello-ack-report-long": sentence(b"ASACK,GU1,123"),
        "hello-ack-report-empty": sentence(b"ASACK,,"),
        "link-ack": sentence(b"ASACK,GU48A0012345"),
        "ack-lower-case": sentence(b"asack"),
        "ack-high-bytes": sentence(b"ASACK,\xe9\xff\x80GU,7C"),
        "refusal": sentence(b"ASNAK,GU1"),
        "no-body": sentence(b""),
        "check-lower-digits": sentence(b"GSHLO").replace(b"5F", b"5f"),
        "check-wrong": sentence(b"ASACK,GU1,00", "00"),
        "check-not-hex": sentence(b"ASACK", "G1"),
        "one-check-digit": b"$ASACK*4",
        "no-dollar": b"GSHLO*5F\r\n",
        "too-short": b"$GS",
        "no-star": b"$ASACK,GU1,00\r\n",
        "tail-after-digits": sentence(b"ASACK,GU1,00") + b"$junk",
        "qid-payload": with_crc(b"GU48A0012345"),
    }
    return s


# --- fuzz_reply: request fields, then the reply frame ----------------------------------

CATALOGUE = [0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 41, 42, 49, 50, 51, 52, 53, 54, 55]
TABLE_KEY, RETRY, _, PREVIOUS, RAW_ADDRESS, LONG_DATA, RAW_CODE, RAW_READ_SIZE = (
    1 << n for n in range(8))
# Status bits the update's stages require of each code.
REQUIRED = {0: 0x08, 10: 0x02, 7: 0x02, 14: 0x02, 50: 0x02, 51: 0x02}


def reply_input(code_byte, flags, index=0x10, required=0, address=0x001234, length=0,
                size=16, data=b"", previous=None, frames=(), reply=b""):
    """frames: up to three (bytes, sealed) judged before the reply, which is
    judged as it is and then sealed."""
    out = bytes([code_byte, flags, index, required]) + struct.pack(">I", address)
    out += bytes([length & 0xFF])
    out += struct.pack(">I", size & 0xFFFFFFFF) if flags & RAW_READ_SIZE else bytes([size])
    out += data
    if flags & PREVIOUS:
        out += bytes(previous)
    framing = len(frames)
    for n, (_, sealed) in enumerate(frames):
        framing |= (4 << n) if sealed else 0
    out += bytes([framing])
    for frame, _ in frames:
        out += bytes([len(frame)]) + frame
    return out + reply


def reply_seeds():
    s = {}
    for i, code in enumerate(CATALOGUE):
        write = code in (49, 50, 51)
        flags = (0 if code == 0 else TABLE_KEY)
        data = bytes(range(8)) if write else b"GU48A00123"
        status = REQUIRED.get(code, 0)
        payload = b"" if code in (51, 2) else b"0601"
        if code == 5:
            payload = with_crc(b"GU48A0012345")
        s["good-%02d" % code] = reply_input(
            i, flags, required=REQUIRED.get(code, 0), length=len(data), data=data,
            reply=bytes([0x44, code, status]) + payload)
    s["refused-51"] = reply_input(17, TABLE_KEY, required=2, length=4, data=b"abcd",
                                  reply=bytes([0x21, 51, 0x82]))
    s["missing-bit-attach"] = reply_input(0, 0, required=8, reply=bytes([0x33, 0, 0x02]))
    s["foreign-echo"] = reply_input(11, TABLE_KEY, required=2,
                                    reply=bytes([0x44, 7, 0x02]) + b"0601")
    s["short-sealed"] = reply_input(1, TABLE_KEY, reply=bytes([0x21, 1]))
    s["stray-then-answer"] = reply_input(
        17, TABLE_KEY, required=2, length=4, data=b"abcd",
        frames=[(bytes([0x21, 51, 0x02]), True), (b"\x00\x01", False)],
        reply=bytes([0x44, 51, 0x02]))
    s["refused-then-data"] = reply_input(
        6, TABLE_KEY, required=2, frames=[(bytes([0x44, 7, 0x80, 0x30]), True)],
        reply=bytes([0x44, 7, 0x02]) + b"0601")
    s["raw-bad-crc"] = reply_input(1, TABLE_KEY, reply=b"\x21\x01\x00\x00\x12\x34")
    s["raw-empty"] = reply_input(1, TABLE_KEY)
    s["resend-after-previous"] = reply_input(
        17, TABLE_KEY | RETRY | PREVIOUS, required=2, length=3, data=b"xyz",
        previous=[17, 2], reply=bytes([0x44, 51, 0x02]))
    s["new-after-previous"] = reply_input(
        5, TABLE_KEY | PREVIOUS, length=0, previous=[3, 1],
        reply=bytes([0x44, 7, 0x00]))
    s["not-a-command"] = reply_input(3, RAW_CODE, reply=bytes([0x44, 3, 0]))
    s["write-too-long"] = reply_input(17, LONG_DATA | TABLE_KEY, length=4, data=b"\x01" * 260)
    s["write-empty"] = reply_input(16, TABLE_KEY, length=0)
    s["address-too-large"] = reply_input(15, RAW_ADDRESS | TABLE_KEY, address=0x01000000,
                                         length=2, data=b"\x01\x02")
    s["address-negative-read"] = reply_input(18, RAW_ADDRESS | TABLE_KEY, address=0xFFFFFFFF)
    s["read-size-too-large"] = reply_input(19, RAW_READ_SIZE | TABLE_KEY, size=300)
    s["read-size-negative"] = reply_input(20, RAW_READ_SIZE | TABLE_KEY, size=-1)
    s["index-255"] = reply_input(2, TABLE_KEY, index=0xFF, reply=bytes([0x21, 2, 0]))
    return s


# --- fuzz_config: selector, then a byte form or field values -----------------------------

def cfg2_form(ident: bytes, option: int, version=1, length=17) -> bytes:
    form = bytearray(33)
    form[0], form[1], form[2] = 32, length, version
    form[3:13] = ident.ljust(10, b" ")[-10:]
    form[13:15] = struct.pack("<H", crc16(bytes(form[3:13])))
    form[15] = option
    form[16:18] = struct.pack("<H", crc16(bytes(form[1:16])))
    return bytes(form)


def cfg3_form(mode=0xFE, mute=40, alarm=2, limit=2, version=1) -> bytes:
    form = bytearray(17)
    form[0:7] = bytes([16, 8, version, mode, mute, alarm, limit])
    form[7:9] = struct.pack("<H", crc16(bytes(form[1:7])))
    return bytes(form)


def config_seeds():
    cfg1 = bytearray(65)
    cfg1[0], cfg1[37], cfg1[38] = 64, 55, 0x81
    bad_id_crc = bytearray(cfg2_form(b"GU48A00123", 1))
    bad_id_crc[13] ^= 1
    bad_id_crc[16:18] = struct.pack("<H", crc16(bytes(bad_id_crc[1:16])))
    return {
        "cfg1-form": bytes([0, 40, 0]) + bytes(cfg1),
        "cfg1-39-bytes": bytes([0, 40, 1]) + bytes(cfg1[:39]),
        "cfg1-38-bytes": bytes([0, 40, 1]) + bytes(cfg1[:38]),
        "cfg2-form": bytes([1, 3, 7]) + cfg2_form(b"GU48A00123", 1),
        "cfg2-form-31-bytes": bytes([1, 3, 7]) + cfg2_form(b"AB", 0x80)[:31],
        "cfg2-version-2": bytes([1, 0, 0]) + cfg2_form(b"GU1", 0, version=2),
        "cfg2-identity-crc": bytes([1, 0, 0]) + bytes(bad_id_crc),
        "cfg2-30-bytes": bytes([1, 0, 0]) + cfg2_form(b"GU1", 0)[:30],
        "cfg3-default": bytes([2, 0, 0]) + cfg3_form(),
        "cfg3-15-bytes": bytes([2, 0, 0]) + cfg3_form(0x01, 1, 2, 3)[:15],
        "cfg3-version-2": bytes([2, 0, 0]) + cfg3_form(version=2),
        "cfg3-bad-crc": bytes([2, 0, 0]) + cfg3_form()[:7] + b"\x00\x00",
        "render-cfg1": bytes([3, 9, 120, 1]),
        "render-cfg2-long-id": bytes([4, 0x81, 0, 12]) + b"GU48A0012345",
        "render-cfg2-short-id": bytes([4, 0x05, 3]) + b"GU1",
        "render-cfg3-options": bytes([5, 50, 3, 4, 4, 0x0C, 0x01, 0x08, 0x07]),
    }


# --- fuzz_settings: one stored text ----------------------------------------------------

def settings_seeds():
    texts = ["1", "0", " 3 ", "16", "17", "0016", "-0", "+1", "1e3", "0.0", "nan", "COM3",
             "", "\t5\r\n", "65536", "0x10", "1 6", "00000000000000000000017", "65537", "3.5",
             "+5", "-3", "05", " 5\t"]
    return {"text-%02d" % i: t.encode() for i, t in enumerate(texts)}


# --- fuzz_session: scenario byte, then one action per unit transmission ---------------

PASS, DROP, DELAY, CORRUPT, CUT, TWICE, RAW, SEALED = range(8)
DELAYS_MS = [0, 1, 4, 15, 25, 100, 250, 290, 299, 300, 301, 310, 500, 990, 1000, 1010, 1500,
             1990, 2000, 2001, 2010, 2500, 3000, 4500, 6000, 9000, 20000, 41000, 54990, 55010,
             70000, 600000]


def op(kind, param=0):
    return bytes([(param << 3) | kind])


def delay(kind, ms):
    return op(kind, DELAYS_MS.index(ms))


def passes(n):
    """Passes n transmissions (n >= 1) with one byte."""
    return op(PASS, n - 1)


H_PASS, H_LOST, H_DAMAGED = range(3)


def host_op(kind, param=0):
    return bytes([(param << 2) | kind])


def host_passes(n):
    """Passes n host frames (n >= 1) with one byte (lossy line only)."""
    return host_op(H_PASS, n - 1)


# Transmissions of the unit in an update: 1 hello, 2 link, 3 Attach, 4 QID,
# 5 STS, 6 VPGM, 7 SSecu1, 8 VMAP, 9 erase, 10-34 flash blocks, 35-37
# parameter blocks, then the hellos of the final check.
def session_seeds():
    ok_fast = b"\x01"  # a box answered OK at once
    return {
        "update-clean": b"\x00",
        "update-same-version-ok": b"\x04" + passes(8) + ok_fast,
        "update-same-version-cancel": b"\x04" + passes(8) + b"\x00",
        "update-newer-unit-box-open": b"\x08" + passes(8) + b"\x05",
        "update-unsuited-program": b"\x40",
        "update-memory-check-fails": b"\x20",
        "update-report-errors": b"\x10",
        "connection-test": b"\x83",
        "port-scan": b"\x03",
        "hello-dropped": b"\x00" + op(DROP),
        "hello-corrupt": b"\x00" + op(CORRUPT, 0) + b"\x05\x40",
        "hello-cut": b"\x00" + op(CUT, 7),
        "hello-late": b"\x00" + delay(DELAY, 301),
        "link-late": b"\x00" + passes(1) + delay(DELAY, 310),
        "attach-twice": b"\x00" + passes(2) + delay(TWICE, 25),
        "qid-refused-sealed": b"\x00" + passes(3) + op(SEALED, 3) + b"\x44\x05\x80",
        "data-version-beyond-32-bits": b"\x00" + passes(7) + op(SEALED, 14)
        + bytes([0x44, 7, 0x02]) + b"99999999999",
        "erase-late": b"\x00" + passes(8) + delay(DELAY, 41000),
        "erase-too-late": b"\x00" + passes(8) + delay(DELAY, 54990),
        "block-reply-late": b"\x00" + passes(9) + delay(DELAY, 2010),
        "block-reply-twice-late": b"\x00" + passes(12) + delay(TWICE, 2010),
        "block-reply-dropped-four-times": b"\x00" + passes(9) + op(DROP) * 4,
        "block-reply-corrupt": b"\x00" + passes(15) + op(CORRUPT, 1) + b"\x02\x10\x04\x01",
        "block-reply-raw": b"\x00" + passes(20) + op(RAW, 5) + b"\x00\x33\x00\x00\x00",
        "parameter-reply-late": b"\x00" + passes(31) + passes(3) + delay(DELAY, 2001),
        "final-hello-dropped": b"\x00" + passes(32) + passes(5) + op(DROP) * 3,
        "final-hello-sealed-ack": b"\x00" + passes(32) + passes(5) + op(SEALED, 11)
        + b"ASACK,GU,00",
        "early-box-long-open": b"\x04" + passes(8) + b"\x07" + delay(TWICE, 600000),
        # The lossy line (bit 7): one byte per host frame too, in the order
        # frames and answers happen: 1 hello, 2 link, 3 Attach ... 9 erase,
        # 10 the first flash block.
        "lossy-clean": b"\x80",
        "lossy-block-request-lost": b"\x80" + host_passes(9) + passes(9) + host_op(H_LOST),
        "lossy-block-request-damaged": b"\x80" + host_passes(9) + passes(9)
        + host_op(H_DAMAGED, 5) + b"\x40",
        "lossy-late-answer-resend-lost": b"\x80" + host_passes(10) + passes(9)
        + delay(DELAY, 2010) + host_op(H_LOST),
    }


TARGETS = {
    "sentence": sentence_seeds,
    "reply": reply_seeds,
    "config": config_seeds,
    "settings": settings_seeds,
    "session": session_seeds,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the committed seeds instead of writing")
    args = parser.parse_args()
    differ = []
    for target, make in TARGETS.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, content in make().items():
            path = os.path.join(folder, name)
            if args.check:
                try:
                    with open(path, "rb") as f:
                        same = f.read() == content
                except FileNotFoundError:
                    same = False
                if not same:
                    differ.append(path)
            else:
                with open(path, "wb") as f:
                    f.write(content)
    if differ:
        print("seeds that differ from the generator:\n  " + "\n  ".join(differ))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
