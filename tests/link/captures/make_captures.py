#!/usr/bin/env python3
"""Writes the crafted uplink captures of this folder (run once; the files are kept in the repository)."""
import random
import struct


def body(length, seed):
    b = bytearray((seed + i * 7) & 0xFF for i in range(length - 2))
    if length in (405, 525, 765, 1485):
        b[18] = {1485: 1, 765: 2, 525: 3, 405: 4}[length]
        b[22] = 0
        b[17] = 10
    return b


def usb(seq, b, declared=None):
    L = declared if declared is not None else 7 + len(b) + 3
    return bytes([0x55, 0xAA, 0x5A, 0xA5, seq & 0xFF]) + struct.pack('<H', L) + bytes(b) + \
        struct.pack('<H', sum(b) & 0xFFFF) + b'\x99'


def clean():
    out = bytearray()
    kinds = [16, 19, 20, 765, 16, 1485, 525, 405, 20, 16]
    for i, k in enumerate(kinds * 3):
        out += usb(i, body(k, i))
    return out


def corrupt():
    rnd = random.Random(7)
    out = bytearray()
    out += usb(1, body(16, 1))
    out += bytes([0x13, 0x99, 0x00, 0x55, 0xAA, 0x77, 0x42, 0x99, 0x01])  # garbage
    out += usb(2, body(765, 2))
    bad = bytearray(usb(3, body(765, 3)))
    bad[200] ^= 0x40  # a flipped bit: never dispatched
    out += bad
    out += usb(4, body(16, 4))
    out += usb(5, body(16, 5), declared=7 + 765)  # a status frame behind a wrong length: rescued
    lg = body(20, 6)
    lg[0] = 0xC0
    lg[17] = 0x01
    out += usb(6, lg, declared=7 + 1485)  # an over-long logger frame: salvaged as status
    out += usb(7, body(405, 7))
    out += usb(10, body(19, 8))  # 8 and 9 missing
    out += bytes(rnd.randrange(256) for _ in range(40))
    out += usb(11, body(1485, 9))
    out += usb(11, body(16, 10))  # repeated sequence
    return out


open('clean.bin', 'wb').write(clean())
open('corrupt.bin', 'wb').write(corrupt())
