#!/usr/bin/env python3
"""Fails unless two PE images have the same .text: where it lies and every byte of it. The DLLs
are linked twice, the second time with their debug-information resource; the code must not move."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_file  # noqa: E402


def text_of(path):
    image = pe_file.read_pe(path)
    section = next(s for s in image.sections if s.name == ".text")
    return image.image_base, section.virtual_address, section.virtual_size, image.section_bytes(".text")


def main():
    before, after = text_of(sys.argv[1]), text_of(sys.argv[2])
    if before != after:
        print("%s: .text differs from %s after embedding the debug information" % (sys.argv[2], sys.argv[1]))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
