#!/usr/bin/python3
"""dnsmasq as the DNS server on port 53 of 127.0.0.1, for the tests that run inside a network
namespace of their own. It is authoritative for the names under .test: --mx DOMAIN=PREF:HOST
(repeatable) gives a domain an exchanger, --host NAME=ADDRESS a host an address; other names
under .test get "name error", and nothing is forwarded anywhere. Its log (every query) goes to
STATE/dnsmasq.log; STATE/ready.json appears once it answers; it ends when STATE/stop appears.
"""
import argparse
import os
import socket
import struct
import subprocess
import sys
import time

import server_state


def answers(port):
    """Whether something on the port answers a query for a name of ours."""
    query = struct.pack(">HHHHHH", 7, 0x0100, 1, 0, 0, 0) + b"\x04test\x00" + struct.pack(">HH", 2, 1)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.settimeout(0.2)
        try:
            probe.sendto(query, ("127.0.0.1", port))
            return probe.recv(512)[:2] == b"\x00\x07"
        except OSError:
            return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--mx", action="append", default=[])
    parser.add_argument("--host", action="append", default=[])
    arguments = parser.parse_args()
    os.makedirs(arguments.state, exist_ok=True)
    command = ["/usr/sbin/dnsmasq", "--keep-in-foreground", "--conf-file=/dev/null", "--no-resolv", "--no-hosts",
               "--listen-address=127.0.0.1", "--bind-interfaces", "--port=53",
               "--user=root", "--pid-file=", "--local=/test/", "--log-queries",
               "--log-facility=" + os.path.join(arguments.state, "dnsmasq.log")]
    for item in arguments.mx:
        domain, value = item.split("=")
        preference, host = value.split(":")
        command.append("--mx-host=%s,%s,%s" % (domain, host, preference))
    for item in arguments.host:
        name, address = item.split("=")
        command.append("--host-record=%s,%s" % (name, address))
    # The dnsmasq of the test before may still hold the port as it ends: its answers would
    # make ours look ready while ours cannot bind.
    deadline = time.monotonic() + 10
    while answers(53) and time.monotonic() < deadline:
        time.sleep(0.05)
    with open(os.path.join(arguments.state, "dnsmasq.out"), "w") as out:
        dnsmasq = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT)
    deadline = time.monotonic() + 10
    while not answers(53) or dnsmasq.poll() is not None:
        if dnsmasq.poll() is not None or time.monotonic() > deadline:
            dnsmasq.kill()
            with open(os.path.join(arguments.state, "dnsmasq.out")) as out:
                sys.exit("dnsmasq did not start: " + out.read())
    running = server_state.announce(arguments.state, {"port": 53})
    server_state.wait_while(running)
    dnsmasq.terminate()
    dnsmasq.wait()


if __name__ == "__main__":
    server_state.run(main)
