#!/usr/bin/env python3
"""crashkit-tool settings against the sources the settings resources were made from.

Arguments: crashkit-tool, the folder of sample sources, the folder of sample modules, the
Conduvex DLL and its settings source. CRASHKIT_TOOL_RUNNER (Wine) runs the tool when set."""
import os
import pathlib
import re
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[3] / 'tools' / 'settings'))
import make_settings_resource as generator  # noqa: E402

LINE = re.compile(r'^\s*(\w+)\s*(?::\s*(\w+)\s*)?=\s*(.*?)\s*$')


def expected_lines(source, stop_before=None):
    """The tool's lines for a source: entries up to a raw one (or the named entry)."""
    lines = []
    for line in pathlib.Path(source).read_text(encoding='utf-8').splitlines():
        if not line.strip() or line.lstrip().startswith('#'):
            continue
        name, kind, value = LINE.match(line).groups()
        if kind == 'raw' or name == stop_before:
            break
        if value in ('true', 'false'):
            shown = value
        elif value.startswith('"'):
            text = generator.unquote(value)
            shown = text.replace('\\', '\\\\').replace('\r', '\\r').replace('\n', '\\n')
        else:
            shown = str(int(value, 0))
        lines.append(f'{name}={shown}')
    return lines


def run_tool(tool, module):
    runner = os.environ.get('CRASHKIT_TOOL_RUNNER')
    command = ([runner] if runner else []) + [tool, 'settings', module]
    result = subprocess.run(command, capture_output=True, timeout=120)
    return result.returncode, result.stdout.decode('utf-8').replace('\r\n', '\n').splitlines(), \
        result.stderr.decode('utf-8', 'replace')


def check(name, got, want_code, want_lines, want_error=''):
    code, lines, error = got
    failures = []
    if code != want_code:
        failures.append(f'exit code {code}, expected {want_code}')
    if lines != want_lines:
        failures.append('lines differ:\n  got  ' + '\n  got  '.join(lines) + '\n  want ' + '\n  want '.join(want_lines))
    if want_error not in error:
        failures.append(f'error text {error!r} lacks {want_error!r}')
    print(('FAIL ' if failures else 'ok   ') + name)
    for failure in failures:
        print('    ' + failure)
    return not failures


def main():
    tool, sources, modules, conduvex, conduvex_source = sys.argv[1:6]
    sources, modules = pathlib.Path(sources), pathlib.Path(modules)
    results = [
        check('every type', run_tool(tool, str(modules / 'crashreport_sample_types.dll')), 0,
              expected_lines(sources / 'AllTypes.txt')),
        check('invalid type', run_tool(tool, str(modules / 'crashreport_sample_invalid.dll')), 1,
              expected_lines(sources / 'InvalidType.txt'), 'Internal error: Invalid settings resource ($15).'),
        check('truncated', run_tool(tool, str(modules / 'crashreport_sample_truncated.dll')), 1,
              expected_lines(sources / 'Truncated.txt', stop_before='MailSubj'), 'ends inside an entry'),
        check('Conduvex', run_tool(tool, conduvex), 0, expected_lines(conduvex_source)),
    ]
    sys.exit(0 if all(results) else 1)


if __name__ == '__main__':
    main()
