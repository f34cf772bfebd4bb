"""The published Blowfish cipher, standard byte order, whole 8-byte blocks (trailing bytes stay).
Its initial tables are the fraction digits of pi, computed here rather than listed."""
import struct

_WORDS = 18 + 4 * 256


def _pi_fraction_words(count):
    bits = 32 * count + 64
    one = 1 << bits

    def arctan_inverse(x):
        total, term, n, sign = 0, one // x, 1, 1
        x2 = x * x
        while term:
            total += sign * (term // n)
            term //= x2
            n += 2
            sign = -sign
        return total

    pi = 16 * arctan_inverse(5) - 4 * arctan_inverse(239)
    fraction = (pi - 3 * one) >> 64
    return [(fraction >> (32 * (count - 1 - i))) & 0xFFFFFFFF for i in range(count)]


_INITIAL = _pi_fraction_words(_WORDS)


class Blowfish:
    def __init__(self, key):
        self.p = _INITIAL[:18]
        self.s = [_INITIAL[18 + 256 * i:18 + 256 * (i + 1)] for i in range(4)]
        for i in range(18):
            word = 0
            for j in range(4):
                word = (word << 8) | key[(4 * i + j) % len(key)]
            self.p[i] ^= word
        left = right = 0
        for i in range(0, 18, 2):
            left, right = self._encipher(left, right)
            self.p[i], self.p[i + 1] = left, right
        for box in self.s:
            for i in range(0, 256, 2):
                left, right = self._encipher(left, right)
                box[i], box[i + 1] = left, right

    def _f(self, x):
        s = self.s
        return ((((s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) & 0xFFFFFFFF) ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF]) & 0xFFFFFFFF

    def _encipher(self, left, right):
        p = self.p
        for i in range(16):
            left ^= p[i]
            right ^= self._f(left)
            left, right = right, left
        left, right = right, left
        right ^= p[16]
        left ^= p[17]
        return left, right

    def encipher(self, data):
        out = bytearray(data)
        for at in range(0, len(out) - len(out) % 8, 8):
            left, right = struct.unpack_from(">II", out, at)
            struct.pack_into(">II", out, at, *self._encipher(left, right))
        return bytes(out)
