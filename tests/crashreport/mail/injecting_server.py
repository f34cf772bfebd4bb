#!/usr/bin/python3
"""A mail server on 127.0.0.1 that offers STARTTLS and AUTH LOGIN and answers STARTTLS with
its 220 and, in the same segment, a plaintext reply that is not the client's to take. Every
line it receives goes to STATE/lines.log. STATE/ready.json holds the port; it ends when
STATE/stop appears.
"""
import argparse
import os
import socket

import server_state


def serve(connection, log):
    connection.sendall(b"220 injector ready\r\n")
    pending = b""
    while True:
        block = connection.recv(4096)
        if not block:
            return
        pending += block
        while b"\r\n" in pending:
            line, pending = pending.split(b"\r\n", 1)
            log.write(line.decode("latin-1") + "\n")
            log.flush()
            command = line.upper()
            if command.startswith(b"EHLO"):
                connection.sendall(b"250-injector\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n")
            elif command == b"STARTTLS":
                connection.sendall(b"220 go ahead\r\n250 planted\r\n")
            elif command == b"QUIT":
                connection.sendall(b"221 bye\r\n")
                return
            else:
                connection.sendall(b"250 ok\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    arguments = parser.parse_args()
    os.makedirs(arguments.state, exist_ok=True)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    listener.settimeout(0.05)
    running = server_state.announce(arguments.state, {"port": listener.getsockname()[1]})
    with open(os.path.join(arguments.state, "lines.log"), "a") as log:
        while running():
            try:
                connection, _ = listener.accept()
            except socket.timeout:
                continue
            connection.settimeout(10)
            with connection:
                try:
                    serve(connection, log)
                except OSError:
                    pass


if __name__ == "__main__":
    server_state.run(main)
