#!/usr/bin/env python3
"""Turns a readable settings source into the crash library's settings resource ("TZELEXCEPT").

Source lines (blank lines and lines starting with "#" are skipped):
    Name = true | false          boolean (types 9 and 8)
    Name = 123                   integer (type 4)
    Name = "text"                text in code page 1252 (type 12); escapes \\r \\n \\t \\" \\\\ \\uXXXX
    Name : TYPE = value          an explicit type: int8, int16, int32, sstring, ident, lstring,
                                 wstring, utf8, or raw (hex bytes written after the name as they are,
                                 type byte first)
Output: "TPF0", class "TZelExcept", object "zelExcept", the entries, the list's end and one more 0.
The passwords (SmtpPassword, HttpPassword, BugTrPassword) are written in plain text in the source
and enciphered here with their server and account, as the library deciphers them at load.
With --cut N the last N bytes are left off (for tests of truncated resources).
"""
import argparse
import base64
import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'debuginfo'))
import blowfish  # noqa: E402

LINE = re.compile(r'^\s*([A-Za-z_][A-Za-z0-9_]*)\s*(?::\s*([a-z0-9]+)\s*)?=\s*(.*?)\s*$')
ESCAPES = {'r': '\r', 'n': '\n', 't': '\t', '"': '"', '\\': '\\'}


class SourceError(Exception):
    pass


def unquote(value):
    if len(value) < 2 or value[0] != '"' or value[-1] != '"':
        raise SourceError('a text value is written in double quotes')
    body, text, i = value[1:-1], [], 0
    while i < len(body):
        c = body[i]
        if c != '\\':
            text.append(c)
            i += 1
        elif body[i + 1:i + 2] == 'u':
            text.append(chr(int(body[i + 2:i + 6], 16)))
            i += 6
        elif body[i + 1:i + 2] in ESCAPES:
            text.append(ESCAPES[body[i + 1]])
            i += 2
        else:
            raise SourceError('unknown escape in ' + value)
    return ''.join(text)


def short_bytes(data):
    if len(data) > 255:
        raise SourceError('a short text holds at most 255 bytes')
    return bytes([len(data)]) + data


def encode_value(kind, value):
    if kind == 'bool':
        return bytes([9 if value == 'true' else 8])
    if kind in ('int8', 'int16', 'int32'):
        code, fmt = {'int8': (2, '<b'), 'int16': (3, '<h'), 'int32': (4, '<i')}[kind]
        return bytes([code]) + struct.pack(fmt, int(value, 0))
    if kind == 'raw':
        return bytes.fromhex(value)
    text = unquote(value)
    if kind == 'sstring':
        return bytes([6]) + short_bytes(text.encode('cp1252'))
    if kind == 'ident':
        return bytes([7]) + short_bytes(text.encode('utf-8'))
    if kind == 'lstring':
        data = text.encode('cp1252')
        return bytes([12]) + struct.pack('<I', len(data)) + data
    if kind == 'wstring':
        data = text.encode('utf-16-le')
        return bytes([18]) + struct.pack('<I', len(data) // 2) + data
    if kind == 'utf8':
        data = text.encode('utf-8')
        return bytes([20]) + struct.pack('<I', len(data)) + data
    raise SourceError('unknown type ' + kind)


def implicit_kind(value):
    if value in ('true', 'false'):
        return 'bool'
    if value.startswith('"'):
        return 'lstring'
    return 'int32'


# Each stored password with the settings its key is made of.
PASSWORD_KEYS = {'SmtpPassword': ('SmtpServer', 'SmtpAccount'), 'HttpPassword': ('HttpServer', 'HttpAccount'),
                 'BugTrPassword': ('HttpServer', 'BugTrAccount')}
TEXT_KINDS = ('sstring', 'ident', 'lstring', 'wstring', 'utf8')


def encipher_password(server, account, password):
    """The stored text of a password: Base64 of the UTF-8 password, padded with n bytes of value n
    to whole blocks, enciphered with Blowfish under "zelExcept-password|" + server + "|" + account."""
    if not password:
        return ''
    plain = password.encode('utf-8')
    padding = 8 - len(plain) % 8
    key = ('zelExcept-password|' + server + '|' + account).encode('utf-8')
    return base64.b64encode(blowfish.Blowfish(key).encipher(plain + bytes([padding]) * padding)).decode('ascii')


def source_entries(source_text):
    """(line number, name, type or None, value) of each entry."""
    for number, line in enumerate(source_text.splitlines(), 1):
        if not line.strip() or line.lstrip().startswith('#'):
            continue
        match = LINE.match(line)
        if not match:
            raise SourceError(f'line {number}: expected "Name = value"')
        yield (number, *match.groups())


def enciphered_passwords(entries):
    """Each password entry's value enciphered with the first texts of its server and account."""
    texts = {}
    for number, name, kind, value in entries:
        if (kind or implicit_kind(value)) in TEXT_KINDS and name not in texts:
            try:
                texts[name] = unquote(value)
            except SourceError as error:
                raise SourceError(f'line {number}: {error}') from error
    return {name: '"%s"' % encipher_password(texts.get(server, ''), texts.get(account, ''), texts[name])
            for name, (server, account) in PASSWORD_KEYS.items() if name in texts}


def build(source_text):
    out = bytearray(b'TPF0' + short_bytes(b'TZelExcept') + short_bytes(b'zelExcept'))
    entries = list(source_entries(source_text))
    passwords = enciphered_passwords(entries)
    for number, name, kind, value in entries:
        try:
            if name in passwords and (kind or implicit_kind(value)) in TEXT_KINDS:
                value = passwords.pop(name)
            out += short_bytes(name.encode('ascii')) + encode_value(kind or implicit_kind(value), value)
        except (SourceError, ValueError, UnicodeError) as error:
            raise SourceError(f'line {number}: {error}') from error
    return bytes(out + b'\0\0')


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('source')
    parser.add_argument('output')
    parser.add_argument('--cut', type=int, default=0)
    args = parser.parse_args()
    try:
        with open(args.source, encoding='utf-8') as file:
            data = build(file.read())
    except SourceError as error:
        sys.exit(f'{args.source}: {error}')
    if args.cut:
        data = data[:max(0, len(data) - args.cut)]
    with open(args.output, 'wb') as file:
        file.write(data)


if __name__ == '__main__':
    main()
