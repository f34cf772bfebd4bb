"""The state folder through which a test server and its test (MailTestServer.h) talk: the
server announces itself in STATE/ready.json, a STATE/stop file ends it, and the folder goes
with it unless the server failed (its log is then the test's message)."""

import json
import os
import shutil
import sys
import time

# A server whose test never stops it (a crashed test program) ends by itself.
LIFETIME_SECONDS = 120


def announce(state, facts):
    """Writes ready.json whole, since the test reads it as soon as it appears; returns a test
    of whether the server goes on: until STATE/stop appears or its lifetime is over."""
    with open(os.path.join(state, "ready.json.part"), "w") as out:
        json.dump(facts, out)
    os.replace(os.path.join(state, "ready.json.part"), os.path.join(state, "ready.json"))
    stop = os.path.join(state, "stop")
    deadline = time.monotonic() + LIFETIME_SECONDS
    return lambda: not os.path.exists(stop) and time.monotonic() < deadline


def wait_while(running):
    while running():
        time.sleep(0.05)


def run(main):
    """Runs the server; an exception leaves the folder with its log behind."""
    main()
    shutil.rmtree(sys.argv[sys.argv.index("--state") + 1], ignore_errors=True)
