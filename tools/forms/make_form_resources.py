#!/usr/bin/env python3
"""Turns readable wizard form files into form resources (property streams) and an .rc file
that names each "TZE" + form name as RCDATA.

A form file holds one object, with its properties and child objects:

    object ContactForm: TNVForm
      Message = 'Text with ''quotes'''
      Timer = 250
      ActiveControl = NameEdit
      object NameEdit: TNVEdit
        Optional = False
      end
    end

Values: quoted text ('' for a quote), integers (decimal or $hex), True, False, or an identifier
(dotted names allowed). Lines starting with # are comments.
"""
import argparse
import pathlib
import re
import struct
import sys

TYPE_INT8, TYPE_INT16, TYPE_INT32 = 2, 3, 4
TYPE_STRING, TYPE_IDENT, TYPE_FALSE, TYPE_TRUE = 6, 7, 8, 9
TYPE_LSTRING, TYPE_UTF8STRING = 12, 20

OBJECT_LINE = re.compile(r"^object\s+(.+?)\s*:\s*(\w+)$")
PROPERTY_LINE = re.compile(r"^(\w+)\s*=\s*(.+)$")
IDENT = re.compile(r"^[A-Za-z_][\w.]*$")
NUMBER = re.compile(r"^-?(\d+|\$[0-9A-Fa-f]+)$")


class FormError(Exception):
    pass


def short_string(text: bytes) -> bytes:
    if len(text) > 255:
        raise FormError(f"name too long: {text!r}")
    return bytes([len(text)]) + text


def text_value(text: str) -> bytes:
    if text.isascii():
        raw = text.encode("ascii")
        if len(raw) <= 255:
            return bytes([TYPE_STRING]) + short_string(raw)
        return bytes([TYPE_LSTRING]) + struct.pack("<I", len(raw)) + raw
    raw = text.encode("utf-8")
    return bytes([TYPE_UTF8STRING]) + struct.pack("<I", len(raw)) + raw


def number_value(text: str) -> bytes:
    negative = text.startswith("-")
    digits = text[1:] if negative else text
    value = int(digits[1:], 16) if digits.startswith("$") else int(digits)
    value = -value if negative else value
    if -128 <= value <= 127:
        return bytes([TYPE_INT8]) + struct.pack("<b", value)
    if -32768 <= value <= 32767:
        return bytes([TYPE_INT16]) + struct.pack("<h", value)
    if -(2**31) <= value < 2**31:
        return bytes([TYPE_INT32]) + struct.pack("<i", value)
    raise FormError(f"number out of range: {text}")


def quoted_text(text: str) -> str:
    if len(text) < 2 or not text.endswith("'"):
        raise FormError(f"unterminated text: {text}")
    body = text[1:-1]
    if re.search(r"(?<!')'(?!')", body.replace("''", "")):
        raise FormError(f"stray quote in text: {text}")
    return body.replace("''", "'")


def property_value(text: str) -> bytes:
    if text.startswith("'"):
        return text_value(quoted_text(text))
    if NUMBER.match(text):
        return number_value(text)
    if text.lower() == "true":
        return bytes([TYPE_TRUE])
    if text.lower() == "false":
        return bytes([TYPE_FALSE])
    if IDENT.match(text):
        return bytes([TYPE_IDENT]) + short_string(text.encode("ascii"))
    raise FormError(f"unknown value: {text}")


def compile_form(source: str):
    """The form's name and its property stream."""
    stream = bytearray(b"TPF0")
    depth = 0
    form_name = None
    ended = False
    properties_closed = []  # per open object: its property list has ended
    for number, raw_line in enumerate(source.splitlines(), 1):
        line = raw_line.strip()
        if not line or line.startswith("#"):
            continue
        try:
            if ended:
                raise FormError("text after the form's end")
            object_match = OBJECT_LINE.match(line)
            property_match = PROPERTY_LINE.match(line)
            if object_match:
                name, class_name = object_match.groups()
                if depth > 0 and not properties_closed[-1]:
                    stream += b"\0"  # the parent's properties end before its first child
                    properties_closed[-1] = True
                if depth == 0:
                    form_name = name
                stream += short_string(class_name.encode("ascii")) + short_string(name.encode("ascii"))
                properties_closed.append(False)
                depth += 1
            elif line == "end":
                if depth == 0:
                    raise FormError("'end' without an object")
                if not properties_closed.pop():
                    stream += b"\0"
                stream += b"\0"  # no more children
                depth -= 1
                ended = depth == 0
            elif property_match:
                if depth == 0 or properties_closed[-1]:
                    raise FormError("property outside an object's property list")
                key, value = property_match.groups()
                stream += short_string(key.encode("ascii")) + property_value(value)
            else:
                raise FormError(f"cannot read: {line}")
        except FormError as error:
            raise FormError(f"line {number}: {error}") from None
    if depth != 0 or form_name is None:
        raise FormError("the form's object is not complete")
    return form_name, bytes(stream)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", required=True, type=pathlib.Path)
    parser.add_argument("forms", nargs="+", type=pathlib.Path)
    args = parser.parse_args()
    args.output.mkdir(parents=True, exist_ok=True)
    rc_lines = []
    for path in args.forms:
        try:
            name, stream = compile_form(path.read_text(encoding="utf-8"))
        except FormError as error:
            print(f"{path}: {error}", file=sys.stderr)
            return 1
        binary = args.output / f"{name}.bin"
        binary.write_bytes(stream)
        rc_lines.append(f'TZE{name} RCDATA "{binary.resolve().as_posix()}"')
    (args.output / "forms.rc").write_text("\n".join(rc_lines) + "\n", encoding="ascii")
    return 0


if __name__ == "__main__":
    sys.exit(main())
