"""Runs crashkit-tool for the differential tests; its path is the script's first argument.
CRASHKIT_TOOL_RUNNER names a program that runs it (Wine, for the Windows build)."""
import os
import subprocess
import sys

TOOL = None


def take_tool_argument():
    """Removes the tool's path from the command line so that unittest sees only its own."""
    global TOOL
    TOOL = sys.argv.pop(1)


def run(*arguments, data=b"", check=True):
    runner = os.environ.get("CRASHKIT_TOOL_RUNNER")
    command = ([runner] if runner else []) + [TOOL, *arguments]
    result = subprocess.run(command, input=data, capture_output=True, timeout=120)
    if check and result.returncode != 0:
        raise AssertionError(f"crashkit-tool {' '.join(arguments)} failed ({result.returncode}): "
                             f"{result.stderr.decode(errors='replace')}")
    return result
