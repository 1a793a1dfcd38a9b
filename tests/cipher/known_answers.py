#!/usr/bin/env python3
"""Prints the known answers of the cipher tests, computed by a second,
independent implementation of both ciphers written from their definition
(not from the C++ code). Python's big integers compute pi directly.

    python3 tests/cipher/known_answers.py
"""

MASK = 0xFFFFFFFF


def pi_fraction_words(count):
    bits = count * 32 + 64
    one = 1 << bits

    def atan_inverse(x):
        total = term = one // x
        k, sign = 1, -1
        while term:
            term //= x * x
            total += sign * (term // (2 * k + 1))
            sign, k = -sign, k + 1
        return total

    fraction = (16 * atan_inverse(5) - 4 * atan_inverse(239) - (3 << bits)) >> 64
    return [(fraction >> (32 * (count - 1 - i))) & MASK for i in range(count)]


WORDS = pi_fraction_words(18 + 1024)


class Blowfish:
    def __init__(self):
        self.p = WORDS[:18]
        self.s = [[WORDS[18 + 4 * j + b] for j in range(256)] for b in range(4)]

    def f(self, x):
        s = self.s
        return ((((s[0][x >> 24] + s[1][(x >> 16) & 255]) & MASK) ^ s[2][(x >> 8) & 255]) + s[3][x & 255]) & MASK

    def encipher(self, left, right):
        for i in range(0, 16, 2):
            left ^= self.p[i]
            right ^= self.f(left) ^ self.p[i + 1]
            left ^= self.f(right)
        return right ^ self.p[17], left ^ self.p[16]

    def key(self, key):
        j = 0
        for i in range(18):
            w = 0
            for _ in range(4):
                w = (((w << 8) & MASK) | (w & 255)) | key[j]
                j = (j + 1) % len(key)
            self.p[i] ^= w
        left = right = 0
        for i in range(0, 18, 2):
            left, right = self.encipher(left, right)
            self.p[i:i + 2] = [left, right]
        for b in range(4):
            for j in range(0, 256, 2):
                left, right = self.encipher(left, right)
                self.s[b][j:j + 2] = [left, right]

    def encrypt(self, plain, word1, word2):
        m = -(-(len(plain) + 12) // 8) * 8
        data = bytearray(m)
        data[0:4] = word1.to_bytes(4, "little")
        data[4:8] = word2.to_bytes(4, "little")
        data[8:12] = len(plain).to_bytes(4, "little", signed=True)
        data[12:12 + len(plain)] = plain
        previous = (0, 0)
        for o in range(0, m, 8):
            left = int.from_bytes(data[o:o + 4], "big") ^ previous[0]
            right = int.from_bytes(data[o + 4:o + 8], "big") ^ previous[1]
            previous = self.encipher(left, right)
            data[o:o + 4] = previous[0].to_bytes(4, "big")
            data[o + 4:o + 8] = previous[1].to_bytes(4, "big")
        return bytes(data)


def sea_bottle_encrypt(password, text):
    total = sum(password)
    shift = round(total / len(password))  # Python rounds ties to even
    table = [(i + shift) % 256 for i in range(256)]
    w = (b"ODD" if len(text) % 2 else b"EVEN") + text
    digits = "".join("%03d" % table[c] for c in w)
    n = len(digits)
    return bytes(10 * int(digits[i]) + int(digits[n - 1 - i]) for i in range(n // 2))


def c_bytes(data):
    return '"' + "".join("\\x%02X" % b for b in data) + '"'


def main():
    bare = Blowfish()
    print("F(0) = %08X" % bare.f(0))
    for block in [(0, 0), (1, 2)]:
        print("EncryptBlock%s = %08X %08X" % (block, *bare.encipher(*block)))

    cases = [
        (b"Pelmora", 0, 0, b""),
        (b"Pelmora", 0x12345678, 2147483647, b"[Zircona]\r\nHell Yeah=1\r\nMoney=5000\r\n\xA3\x00\xFF"),
        (b"\xA3\xFF\x80k", 1, 2, b"thirteen byte"),
        (None, 0, 0, b"abcd"),
        (b"x", 7, 9, bytes(range(256))),
    ]
    for key, word1, word2, plain in cases:
        cipher = Blowfish()
        if key:
            cipher.key(key)
        print("key", key, "words", word1, word2, "plain", c_bytes(plain))
        print("   ", cipher.encrypt(plain, word1, word2).hex().upper())

    for password, text in [(b"Pelmora", b"abc"), (b"Pelmora", b""), (b"Pelmora", b"Sea Breeze\r\n\x00\xFF"),
                           (b"bc", b"x"), (b"\xFF", b"EVEN"), (b"\xFF", b"ODDS")]:
        print("SeaBottle", password, text, "->", c_bytes(sea_bottle_encrypt(password, text)))


if __name__ == "__main__":
    main()
