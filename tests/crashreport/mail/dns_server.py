#!/usr/bin/python3
"""A DNS server (UDP) for the mail route's tests, on 127.0.0.1 or --listen ADDRESS, at a free
port or --port PORT.

--mx DOMAIN=PREF:HOST,PREF:HOST gives a domain's exchangers and --ns DOMAIN=HOST:ADDRESS its
name server with that address (both repeatable); --refer SUFFIX=HOST:ADDRESS refers every other
name under SUFFIX to that name server, as a root or top-level server does (an empty ADDRESS
refers without the name server's address); --a HOST=ADDRESS answers the address of a host; other
names get "name error". With --refuse every query is refused; with --silent none is answered. With --spoof every answer is preceded by one with another identifier that
names "evil.test". Each query is added to STATE/queries.log; STATE/ready.json holds the port;
it ends when STATE/stop appears.
"""
import argparse
import os
import socket
import struct

import server_state


def encode_name(name):
    return b"".join(bytes([len(label)]) + label.encode() for label in name.split(".")) + b"\0"


def read_question(packet):
    at, labels = 12, []
    while packet[at]:
        labels.append(packet[at + 1:at + 1 + packet[at]].decode("latin-1"))
        at += 1 + packet[at]
    qtype, = struct.unpack(">H", packet[at + 1:at + 3])
    return ".".join(labels), qtype, packet[12:at + 5]


def record(owner, rtype, data):
    return encode_name(owner) + struct.pack(">HHIH", rtype, 1, 300, len(data)) + data


def message(ident, question, rcode, answers=(), authorities=(), additionals=()):
    header = struct.pack(">HHHHHH", ident, 0x8180 | rcode, 1, len(answers), len(authorities), len(additionals))
    return header + question + b"".join(answers) + b"".join(authorities) + b"".join(additionals)


def mx_answer(ident, question, name, records):
    return message(ident, question, 0, [record(name, 15, struct.pack(">H", preference) + encode_name(host))
                                        for preference, host in records])


def name_server_records(owner, host, address):
    glue = [record(host, 1, socket.inet_aton(address))] if address else []
    return [record(owner, 2, encode_name(host))], glue


def respond(zones, name, qtype, ident, question):
    name = name.lower()
    if qtype == 15 and name in zones["mx"]:
        return mx_answer(ident, question, name, zones["mx"][name])
    if qtype == 1 and name in zones["a"]:
        return message(ident, question, 0, answers=[record(name, 1, socket.inet_aton(zones["a"][name][0]))])
    if qtype == 2 and name in zones["ns"]:
        records, glue = name_server_records(name, *zones["ns"][name])
        return message(ident, question, 0, answers=records, additionals=glue)
    for suffix, (host, address) in zones["refer"].items():
        if name == suffix or name.endswith("." + suffix):
            records, glue = name_server_records(suffix, host, address)
            return message(ident, question, 0, authorities=records, additionals=glue)
    known = name in zones["mx"] or name in zones["ns"] or name in zones["a"]
    return message(ident, question, 0 if known else 3)


def pairs(items):
    return {item.split("=")[0].lower(): tuple(item.split("=")[1].split(":")) for item in items}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--listen", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--mx", action="append", default=[])
    parser.add_argument("--ns", action="append", default=[])
    parser.add_argument("--refer", action="append", default=[])
    parser.add_argument("--a", action="append", default=[])
    parser.add_argument("--spoof", action="store_true")
    parser.add_argument("--refuse", action="store_true")
    parser.add_argument("--silent", action="store_true")
    arguments = parser.parse_args()
    os.makedirs(arguments.state, exist_ok=True)
    zones = {"mx": {}, "ns": pairs(arguments.ns), "refer": pairs(arguments.refer), "a": pairs(arguments.a)}
    for item in arguments.mx:
        domain, records = item.split("=")
        zones["mx"][domain.lower()] = [(int(r.split(":")[0]), r.split(":")[1]) for r in records.split(",")]
    server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    server.bind((arguments.listen, arguments.port))
    server.settimeout(0.05)
    running = server_state.announce(arguments.state, {"port": server.getsockname()[1]})
    while running():
        try:
            packet, client = server.recvfrom(512)
        except socket.timeout:
            continue
        ident, = struct.unpack(">H", packet[:2])
        name, qtype, question = read_question(packet)
        with open(os.path.join(arguments.state, "queries.log"), "a") as log:
            log.write("%s %d\n" % (name, qtype))
        if arguments.silent:
            continue
        if arguments.spoof:
            server.sendto(mx_answer(ident ^ 0x5555, question, name, [(0, "evil.test")]), client)
        refused = message(ident, question, 5) if arguments.refuse else None
        server.sendto(refused or respond(zones, name, qtype, ident, question), client)


if __name__ == "__main__":
    server_state.run(main)
