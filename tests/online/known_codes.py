#!/usr/bin/env python3
"""Prints the known answers of the horse and score code tests, built from the
codes' definition (fields in order, each followed by ":", then the text
cipher under the key "Pelmora") with the independent text cipher of the
cipher tests, not from the C++ code.

    python3 tests/online/known_codes.py
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "cipher"))
from known_answers import c_bytes, sea_bottle_encrypt  # noqa: E402

KEY = b"Pelmora"


def horse_code(confidence, father, colour, mother, name, odds_left, odds_right, rrp, sex, speed, stamina,
               start, end):
    fields = [str(confidence), father, str(colour), mother, name, str(odds_left), str(odds_right), rrp,
              str(sex), str(speed), str(stamina), str(start), str(end)]
    return sea_bottle_encrypt(KEY, "".join(f + ":" for f in fields).encode("latin-1"))


def score_code(name, level, won, lost, wager):
    fields = [name, str(level), str(won), str(lost), wager]
    return sea_bottle_encrypt(KEY, "".join(f + ":" for f in fields).encode("latin-1"))


def main():
    print("Two Step", c_bytes(horse_code(55, "???", 117, "???", "Two Step", 11, 8, "3751.5", 1, 67, 54, 40, 80)))
    print("Mare", c_bytes(horse_code(-3, "Sire", 145, "Dam", "Q", 1, 1, "0", 2, 100, 0, 0, 100)))
    print("score", c_bytes(score_code("bob", 3, 10, 2, "5000")))
    print("score empty name", c_bytes(score_code("", 0, 0, 0, "2500.5")))
    # A horse whose code holds NUL, CR, LF and ":" (found by a search over names).
    awkward = horse_code(50, "???", 101, "???", "6425PgMhb2Mg9Q", 2, 1, "1000", 1, 50, 50, 50, 50)
    assert all(bytes([b]) in awkward for b in b"\x00\r\n:")
    print("awkward", c_bytes(awkward))


if __name__ == "__main__":
    main()
