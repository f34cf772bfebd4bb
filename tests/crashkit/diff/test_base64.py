"""Base64 of crashkit-tool against coreutils base64 and the RFC 4648 vectors."""
import random
import subprocess
import unittest

import toolrun


def coreutils(data, decode=False):
    command = ["base64", "-d"] if decode else ["base64", "-w", "0"]
    return subprocess.run(command, input=data, capture_output=True, check=True, timeout=60).stdout


class Base64(unittest.TestCase):
    def test_rfc4648_vectors(self):
        for plain, encoded in [(b"", b""), (b"f", b"Zg=="), (b"fo", b"Zm8="), (b"foo", b"Zm9v"),
                               (b"foob", b"Zm9vYg=="), (b"fooba", b"Zm9vYmE="), (b"foobar", b"Zm9vYmFy")]:
            self.assertEqual(encoded, toolrun.run("base64", "enc", data=plain).stdout)
            self.assertEqual(plain, toolrun.run("base64", "dec", data=encoded).stdout)

    def test_matches_coreutils_for_every_tail_length(self):
        rng = random.Random(4648)
        for length in list(range(0, 40)) + [1000, 65537]:
            data = bytes(rng.getrandbits(8) for _ in range(length))
            ours = toolrun.run("base64", "enc", data=data).stdout
            self.assertEqual(coreutils(data), ours)
            self.assertEqual(data, coreutils(ours, decode=True))
            self.assertEqual(data, toolrun.run("base64", "dec", data=coreutils(data)).stdout)


if __name__ == "__main__":
    toolrun.take_tool_argument()
    unittest.main()
