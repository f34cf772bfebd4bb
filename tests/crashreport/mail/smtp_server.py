#!/usr/bin/python3
"""A mail server on 127.0.0.1 (at a free port or --port PORT) for the SMTP route's tests.

Every mail it takes is parsed with the email package and written to STATE/mail-N.json (the
envelope, the decoded headers, the text body and each attachment's bytes in hexadecimal);
every AUTH attempt is added to STATE/auth.log with whether TLS was up. It writes
STATE/ready.json with its port once it listens and ends when STATE/stop appears.
"""
import argparse
import email
import email.policy
import json
import os
import socket

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

import server_state
from test_certificates import make_context


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def tls_up(server, session):
    """STARTTLS marks the session; implicit TLS shows in the transport."""
    return session.ssl is not None or server.transport.get_extra_info("ssl_object") is not None


def raw_header(content, name):
    """A header line as it was sent, before any decoding."""
    for line in content.split(b"\r\n\r\n", 1)[0].split(b"\r\n"):
        if line.lower().startswith(name.lower() + b": "):
            return line[len(name) + 2:].decode("latin-1")
    return None


def mail_parts(content):
    """The text body and each attachment (its name, type and bytes in hexadecimal) of a mail."""
    message = email.message_from_bytes(content, policy=email.policy.default)
    parts = {"text": None, "attachments": []}
    for part in message.walk():
        if part.is_multipart():
            continue
        if part.get_content_disposition() == "attachment":
            parts["attachments"].append({"filename": part.get_filename(), "type": part.get_content_type(),
                                         "data": part.get_payload(decode=True).hex()})
        elif parts["text"] is None:
            parts["text"] = part.get_content()
    return message, parts


def summary(server, envelope, session):
    message, parts = mail_parts(envelope.original_content)
    return {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
            "to": str(message["To"]), "from": str(message["From"]), "reply_to": str(message["Reply-To"]),
            "subject": str(message["Subject"]), "raw_subject": raw_header(envelope.original_content, b"Subject"),
            "helo": session.host_name, "date": str(message["Date"]),
            "tls": tls_up(server, session), "authenticated": bool(session.authenticated),
            "body": parts["text"], "attachments": parts["attachments"]}


class Handler:
    def __init__(self, state):
        self.state = state
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        with open(os.path.join(self.state, "mail-%d.json" % self.count), "w", encoding="utf-8") as out:
            json.dump(summary(server, envelope, session), out, ensure_ascii=False)
        return "250 Message accepted"


class Authenticator:
    def __init__(self, state, account):
        self.state = state
        self.account = account

    def __call__(self, server, session, envelope, mechanism, auth_data):
        login = auth_data.login.decode("latin-1")
        password = auth_data.password.decode("latin-1")
        with open(os.path.join(self.state, "auth.log"), "a") as log:
            log.write("%s %s tls=%s\n" % (mechanism, login, tls_up(server, session)))
        return AuthResult(success=(login + ":" + password) == self.account, handled=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--auth", help="ACCOUNT:PASSWORD that AUTH accepts; AUTH is offered with it")
    parser.add_argument("--mode", choices=["plain", "starttls", "implicit"], default="plain")
    parser.add_argument("--ca", action="store_true", help="sign the certificate by a CA of its own")
    parser.add_argument("--ca-dir", help="sign the certificate by the CA in this folder")
    parser.add_argument("--port", type=int)
    arguments = parser.parse_args()
    os.makedirs(arguments.state, exist_ok=True)
    port = arguments.port or free_port()
    options = {"auth_require_tls": False, "auth_exclude_mechanism": ["PLAIN"]}
    if arguments.auth:
        options["authenticator"] = Authenticator(arguments.state, arguments.auth)
    else:
        options["auth_exclude_mechanism"] = ["PLAIN", "LOGIN"]
    context = make_context(arguments.state, arguments.ca, arguments.ca_dir) if arguments.mode != "plain" else None
    if arguments.mode == "starttls":
        options["tls_context"] = context
    controller = Controller(Handler(arguments.state), hostname="127.0.0.1", port=port,
                            ssl_context=context if arguments.mode == "implicit" else None, **options)
    controller.start()
    running = server_state.announce(arguments.state, {"port": port, "cert": os.path.join(arguments.state, "cert.pem")})
    server_state.wait_while(running)
    controller.stop()


if __name__ == "__main__":
    server_state.run(main)
