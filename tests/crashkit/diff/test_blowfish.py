"""Blowfish of crashkit-tool against openssl enc -bf-ecb (legacy provider)."""
import random
import subprocess
import unittest

import toolrun


def openssl_ecb(key, data, decrypt=False):
    command = ["openssl", "enc", "-bf-ecb", "-nopad", "-K", key.hex(),
               "-provider", "legacy", "-provider", "default"]
    if decrypt:
        command.append("-d")
    result = subprocess.run(command, input=data, capture_output=True, timeout=60)
    if result.returncode != 0:
        raise AssertionError(result.stderr.decode(errors="replace"))
    return result.stdout


class Blowfish(unittest.TestCase):
    def setUp(self):
        self.rng = random.Random(104)

    def random_bytes(self, count):
        return bytes(self.rng.getrandbits(8) for _ in range(count))

    def test_ecb_matches_openssl_both_ways(self):
        # openssl's -K takes 16-byte keys (shorter ones are padded with zeros).
        for blocks in (1, 2, 37, 1024):
            key = self.random_bytes(16)
            plain = self.random_bytes(8 * blocks)
            ours = toolrun.run("blowfish-ecb", key.hex(), "enc", data=plain).stdout
            self.assertEqual(openssl_ecb(key, plain), ours)
            self.assertEqual(plain, toolrun.run("blowfish-ecb", key.hex(), "dec", data=ours).stdout)
            self.assertEqual(openssl_ecb(key, ours, decrypt=True), plain)

    def test_counter_mode_is_ecb_of_the_counter(self):
        key = self.random_bytes(16)
        plain = self.random_bytes(8 * 40 + 3)
        iv = 0x11223344556677F0
        ours = toolrun.run("blowfish-ctr", key.hex(), "enc", f"{iv:x}", data=plain).stdout
        # The IV's bytes are its little-endian bytes, counted big-endian, stepped before use.
        counter = int.from_bytes(iv.to_bytes(8, "little"), "big")
        blocks = b"".join(((counter + 1 + i) % (1 << 64)).to_bytes(8, "big") for i in range(40))
        keystream = openssl_ecb(key, blocks)
        expected = bytes(p ^ k for p, k in zip(plain, keystream)) + plain[320:]
        self.assertEqual(expected, ours)
        self.assertEqual(plain, toolrun.run("blowfish-ctr", key.hex(), "dec", f"{iv:x}", data=ours).stdout)

    def test_empty_key_is_refused(self):
        self.assertNotEqual(0, toolrun.run("blowfish-ecb", "", "enc", data=b"12345678", check=False).returncode)


if __name__ == "__main__":
    toolrun.take_tool_argument()
    unittest.main()
