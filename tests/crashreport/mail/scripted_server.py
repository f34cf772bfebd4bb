#!/usr/bin/python3
"""A mail server on 127.0.0.1 that answers as its options say, for the failure paths of the
SMTP route.

--greeting TEXT is the first reply ("220 scripted" by default; "none": nothing is sent,
"close": the connection is closed at once, "endless": continuation lines without end). --answer COMMAND=REPLY (repeatable) answers every
line starting with COMMAND by REPLY ("\\n" in it ends a line of a longer reply); --drop COMMAND
closes the connection when that command comes, or when the mail text comes for DATA-TEXT; --mute
COMMAND (or DATA-TEXT) answers nothing from then on, until the client hangs up.
Other commands get their usual answers; EHLO offers AUTH LOGIN. --full-backlog makes a
listener whose queue is full, so that connects never complete. Every line received goes to
STATE/lines.log. STATE/ready.json holds the port; it ends when STATE/stop appears.
"""
import argparse
import os
import socket
import time

import server_state

USUAL = {"EHLO": "250-scripted\n250 AUTH LOGIN", "HELO": "250 scripted", "DATA": "354 go ahead",
         "QUIT": "221 bye", "AUTH LOGIN": "334 VXNlcm5hbWU6"}


def reply_bytes(text):
    return "".join(line + "\r\n" for line in text.replace("\\n", "\n").split("\n")).encode()


def answer_for(line, answers):
    upper = line.upper()
    for command, reply in list(answers.items()) + list(USUAL.items()):
        if upper.startswith(command.upper()):
            return reply
    return "250 ok"


def go_silent(connection):
    while connection.recv(65536):
        pass


def serve(connection, arguments, answers, log):
    if arguments.greeting == "close":
        return
    if arguments.greeting == "endless":
        # A greeting that never ends, until the client hangs up (16 MiB at most).
        for _ in range(256 * 1024):
            connection.sendall(b"220-" + b"x" * 58 + b"\r\n")
        return
    if arguments.greeting != "none":
        connection.sendall(reply_bytes(arguments.greeting))
    pending, in_data = b"", False
    while True:
        if in_data and b"\r\n.\r\n" in pending:
            if arguments.drop == "DATA-TEXT":
                return
            if arguments.mute == "DATA-TEXT":
                return go_silent(connection)
            in_data, pending = False, pending.split(b"\r\n.\r\n", 1)[1]
            connection.sendall(reply_bytes(answers.get(".", "250 accepted")))
        elif not in_data and b"\r\n" in pending:
            raw, pending = pending.split(b"\r\n", 1)
            line = raw.decode("latin-1")
            log.write(line + "\n")
            log.flush()
            if arguments.drop and line.upper().startswith(arguments.drop):
                return
            if arguments.mute and line.upper().startswith(arguments.mute):
                return go_silent(connection)
            reply = answer_for(line, answers)
            connection.sendall(reply_bytes(reply))
            if line.upper() == "QUIT":
                return
            in_data = line.upper() == "DATA" and reply.startswith("354")
        else:
            block = connection.recv(65536)
            if not block:
                return
            pending += block


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--greeting", default="220 scripted")
    parser.add_argument("--answer", action="append", default=[])
    parser.add_argument("--drop")
    parser.add_argument("--mute")
    parser.add_argument("--full-backlog", action="store_true")
    arguments = parser.parse_args()
    answers = dict(item.split("=", 1) for item in arguments.answer)
    os.makedirs(arguments.state, exist_ok=True)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    fillers = []
    if arguments.full_backlog:
        # Connections nobody accepts fill the queue; later connects are never answered.
        for _ in range(2):
            filler = socket.socket()
            filler.setblocking(False)
            filler.connect_ex(listener.getsockname())
            fillers.append(filler)
    listener.settimeout(0.05)
    running = server_state.announce(arguments.state, {"port": listener.getsockname()[1]})
    with open(os.path.join(arguments.state, "lines.log"), "a") as log:
        while running():
            if arguments.full_backlog:
                time.sleep(0.05)
                continue
            try:
                connection, _ = listener.accept()
            except socket.timeout:
                continue
            connection.settimeout(10)
            with connection:
                try:
                    serve(connection, arguments, answers, log)
                except OSError:
                    pass


if __name__ == "__main__":
    server_state.run(main)
