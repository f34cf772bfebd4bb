#!/usr/bin/python3
"""A DNS server on 127.0.0.1 (UDP) that answers MX queries for the mail route's tests.

--mx DOMAIN=PREF:HOST,PREF:HOST gives a domain's exchangers (repeatable); other names get
"name error". With --spoof every answer is preceded by one with another identifier that
names "evil.test". Each query is added to STATE/queries.log; STATE/ready.json holds the port;
it ends when STATE/stop appears.
"""
import argparse
import json
import os
import shutil
import socket
import struct
import sys
import time


def encode_name(name):
    return b"".join(bytes([len(label)]) + label.encode() for label in name.split(".")) + b"\0"


def read_question(packet):
    at, labels = 12, []
    while packet[at]:
        labels.append(packet[at + 1:at + 1 + packet[at]].decode("latin-1"))
        at += 1 + packet[at]
    qtype, = struct.unpack(">H", packet[at + 1:at + 3])
    return ".".join(labels), qtype, packet[12:at + 5]


def answer(ident, question, records, rcode=0):
    header = struct.pack(">HHHHHH", ident, 0x8180 | rcode, 1, len(records), 0, 0)
    body = b""
    for preference, host in records:
        data = struct.pack(">H", preference) + encode_name(host)
        body += b"\xc0\x0c" + struct.pack(">HHIH", 15, 1, 300, len(data)) + data
    return header + question + body


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--mx", action="append", default=[])
    parser.add_argument("--spoof", action="store_true")
    arguments = parser.parse_args()
    os.makedirs(arguments.state, exist_ok=True)
    zones = {}
    for item in arguments.mx:
        domain, records = item.split("=")
        zones[domain.lower()] = [(int(r.split(":")[0]), r.split(":")[1]) for r in records.split(",")]
    server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    server.bind(("127.0.0.1", 0))
    server.settimeout(0.05)
    with open(os.path.join(arguments.state, "ready.json.part"), "w") as out:
        json.dump({"port": server.getsockname()[1]}, out)
    os.rename(os.path.join(arguments.state, "ready.json.part"), os.path.join(arguments.state, "ready.json"))
    deadline = time.monotonic() + 120
    while not os.path.exists(os.path.join(arguments.state, "stop")) and time.monotonic() < deadline:
        try:
            packet, client = server.recvfrom(512)
        except socket.timeout:
            continue
        ident, = struct.unpack(">H", packet[:2])
        name, qtype, question = read_question(packet)
        with open(os.path.join(arguments.state, "queries.log"), "a") as log:
            log.write("%s %d\n" % (name, qtype))
        if arguments.spoof:
            server.sendto(answer(ident ^ 0x5555, question, [(0, "evil.test")]), client)
        records = zones.get(name.lower())
        server.sendto(answer(ident, question, records or [], 0 if records else 3), client)


if __name__ == "__main__":
    main()
    # Kept only when the server failed: its log is the test's message.
    shutil.rmtree(sys.argv[sys.argv.index("--state") + 1], ignore_errors=True)
