#!/usr/bin/env python3
"""Writes the stored-password cases as C++ table rows: server, account, plain password and the text
the settings generator stores for it, so that the library's decipherer is tested against the
generator itself.

Usage: make_password_cases.py GENERATOR OUTPUT
"""
import importlib.util
import sys

CASES = [
    ("", "", ""),
    ("mail.example.test", "reporter", ""),
    ("mail.example.test", "reporter", "s3cret"),
    ("", "", "no server, no account"),
    ("mail.example.test", "reporter", "eight ch"),
    ("upload.example.test", "r\u00e9dacteur", "p\u00e4ssw\u00f6rd \u20ac \u4e2d\u6587 \U0001f511"),
    ("\u00fcber.example.test", "", "\"quoted\" \\ back"),
]


def cxx_text(text):
    out = []
    for c in text:
        if c in '"\\':
            out.append('\\' + c)
        elif 0x20 <= ord(c) < 0x7f:
            out.append(c)
        else:
            out.append('\\U%08x' % ord(c))
    return '"' + ''.join(out) + '"'


def main():
    generator, output = sys.argv[1:]
    spec = importlib.util.spec_from_file_location("make_settings_resource", generator)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    with open(output, "w", encoding="ascii") as out:
        for server, account, password in CASES:
            stored = module.encipher_password(server, account, password)
            out.write("{u%s, u%s, u%s, %s},\n" % (cxx_text(server), cxx_text(account), cxx_text(password),
                                                 cxx_text(stored)))


if __name__ == "__main__":
    main()
