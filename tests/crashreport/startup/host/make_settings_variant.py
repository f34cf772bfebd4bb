#!/usr/bin/env python3
"""Writes a settings resource that differs from a settings source in the given entries.

Usage: make_settings_variant.py GENERATOR SOURCE OUTPUT Name=value... +Name=value...
Each Name=value replaces the value of every entry of that name (written as in the source: true,
123, "text");
each +Name=value adds an entry that the source leaves to the built-in value.
"""
import os
import re
import subprocess
import sys
import tempfile


def main():
    generator, source, output, *overrides = sys.argv[1:]
    values = dict(item.split('=', 1) for item in overrides if not item.startswith('+'))
    added = [item[1:].split('=', 1) for item in overrides if item.startswith('+')]
    lines, replaced = [], set()
    with open(source, encoding='utf-8') as text:
        for line in text:
            match = re.match(r'^(\s*)([A-Za-z_][A-Za-z0-9_]*)(\s*=\s*)', line)
            if match and match.group(2) in values:
                line = match.group(1) + match.group(2) + match.group(3) + values[match.group(2)] + '\n'
                replaced.add(match.group(2))
            lines.append(line)
    if replaced != set(values):
        sys.exit('entries not in the source: ' + ', '.join(sorted(set(values) - replaced)))
    lines.extend(name + ' = ' + value + '\n' for name, value in added)
    with tempfile.NamedTemporaryFile('w', suffix='.txt', delete=False, encoding='utf-8') as variant:
        variant.writelines(lines)
    try:
        subprocess.run([sys.executable, generator, variant.name, output], check=True)
    finally:
        os.unlink(variant.name)


if __name__ == '__main__':
    main()
