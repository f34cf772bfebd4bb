"""Runs crashkit-tool for the differential tests; its path is the script's first argument."""
import subprocess
import sys

TOOL = None


def take_tool_argument():
    """Removes the tool's path from the command line so that unittest sees only its own."""
    global TOOL
    TOOL = sys.argv.pop(1)


def run(*arguments, data=b"", check=True):
    result = subprocess.run([TOOL, *arguments], input=data, capture_output=True, timeout=120)
    if check and result.returncode != 0:
        raise AssertionError(f"crashkit-tool {' '.join(arguments)} failed ({result.returncode}): "
                             f"{result.stderr.decode(errors='replace')}")
    return result
