#!/usr/bin/python3
"""A mail server on 127.0.0.1 with TLS 1.2 from the first byte, whose TLS is openssl s_server's
(Python's ssl cannot ask for a renegotiation): it asks for one (s_server's "r") while the mail
text comes in, and goes on with the mail whether the client renegotiates or declines.

The certificate is for "localhost", signed by STATE/ca.pem. The mail is parsed with the email
package into STATE/mail-1.json (its text, its attachments and how many renegotiations the
server asked for); s_server's own lines go to STATE/s_server.log. STATE/ready.json holds the
port; it ends when STATE/stop appears.
"""
import argparse
import json
import os
import queue
import subprocess
import threading
import time

import server_state
from smtp_server import free_port, mail_parts
from test_certificates import make_context

HELLO_REQUEST = b"SSL_accept:SSLv3/TLS write hello request"
# The answer to the mail's end waits this long, so that the request is read alone: a client
# whose package cannot renegotiate declines it only then.
ANSWER_PAUSE_SECONDS = 0.3


class SServer:
    """s_server for one connection. What the client sends comes as lines ending in CR LF (the
    client ends every line so); s_server's own lines end in LF alone and come between the
    client's records, which end in CR LF too."""

    def __init__(self, state):
        make_context(state, True)
        self.port = free_port()
        self.process = subprocess.Popen(
            ["openssl", "s_server", "-accept", "127.0.0.1:%d" % self.port, "-cert", os.path.join(state, "cert.pem"),
             "-key", os.path.join(state, "key.pem"), "-crlf", "-naccept", "1", "-state", "-tls1_2"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        # One line at a time: s_server cannot read more than its output pipe holds ahead of the
        # dialogue, so a command given at the mail's first line comes while the mail goes on.
        self.lines = queue.Queue(maxsize=1)
        threading.Thread(target=self.pump, daemon=True).start()
        self.log = open(os.path.join(state, "s_server.log"), "ab", buffering=0)
        self.own_lines = []
        while b"ACCEPT" not in self.own_lines:
            self.next_line()

    def pump(self):
        for line in iter(self.process.stdout.readline, b""):
            self.lines.put(line)
        self.lines.put(None)

    def next_line(self):
        """The next line: the client's without its CR LF, None for s_server's own or the end."""
        line = self.lines.get(timeout=30)
        if line is None:
            raise EOFError("s_server ended")
        if line.endswith(b"\r\n"):
            return line[:-2]
        self.log.write(line)
        self.own_lines.append(line.rstrip(b"\n"))
        return None

    def client_lines(self):
        while True:
            try:
                line = self.next_line()
            except EOFError:
                return
            if line is not None:
                yield line

    def say(self, text):
        """A line to the client, or one of s_server's commands."""
        self.process.stdin.write(text.encode() + b"\n")
        self.process.stdin.flush()

    def close(self):
        self.process.kill()
        self.process.wait()
        self.log.close()


def converse(server, state):
    server.say("220 s_server ready")
    mail = None
    for line in server.client_lines():
        if mail is not None:
            if not mail:
                server.say("r")
            if line != b".":
                mail.append(line[1:] if line.startswith(b".") else line)
                continue
            _, parts = mail_parts(b"\r\n".join(mail) + b"\r\n")
            requests = server.own_lines.count(HELLO_REQUEST)
            with open(os.path.join(state, "mail-1.json"), "w", encoding="utf-8") as out:
                json.dump({"hello_requests": requests, "body": parts["text"], "attachments": parts["attachments"]},
                          out, ensure_ascii=False)
            time.sleep(ANSWER_PAUSE_SECONDS)
            server.say("250 accepted")
            mail = None
            continue
        command = line.decode("latin-1").upper()
        if command.startswith("EHLO"):
            server.say("250-s_server\n250 HELP")
        elif command == "DATA":
            server.say("354 go ahead")
            mail = []
        elif command == "QUIT":
            server.say("221 bye")
        else:
            server.say("250 ok")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    arguments = parser.parse_args()
    os.makedirs(arguments.state, exist_ok=True)
    server = SServer(arguments.state)
    try:
        running = server_state.announce(arguments.state, {"port": server.port})
        converse(server, arguments.state)
        server_state.wait_while(running)
    finally:
        server.close()


if __name__ == "__main__":
    server_state.run(main)
