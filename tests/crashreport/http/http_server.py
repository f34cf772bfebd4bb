#!/usr/bin/python3
"""An HTTP server on 127.0.0.1 for the upload route's tests.

Each POST is parsed as multipart/form-data with the email package and written to
STATE/request-N.json: the path, the announced and received lengths, the From header, whether
credentials came, each text field decoded and each file's bytes in hexadecimal; other requests
(GET too) are written with their method, content type and body text. With --auth
ACCOUNT:PASSWORD requests without those Basic credentials get 401; with --proxy-auth
ACCOUNT:PASSWORD it also acts as a proxy that answers 407 to requests without those Basic proxy
credentials (checked before --auth); with --redirect the answer is 302 to a page of the server;
with --drop it closes each connection after reading the request, without an answer; with
--silent it reads the request and never answers; with
--endless the answer is 200 with a body that does not end; with
--status N every answer is that status (with its usual reason); with
--tunnel it takes CONNECT (written to STATE/connect-N.json, checked against --proxy-auth) and
ends the tunnel itself, with TLS of a self-signed certificate; --tls,
--ca and --ca-dir FOLDER (a certificate of the CA in that folder) make it an https server. It
writes STATE/ready.json once it listens and ends when STATE/stop appears.
"""
import argparse
import base64
import email
import email.policy
import http.server
import json
import os
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "mail"))
import server_state  # noqa: E402
from test_certificates import make_context  # noqa: E402


def parse_form(content_type, body):
    message = email.message_from_bytes(b"Content-Type: " + content_type.encode() + b"\r\n\r\n" + body,
                                       policy=email.policy.default)
    fields, files = {}, []
    for part in message.iter_parts():
        name = part.get_param("name", header="content-disposition")
        filename = part.get_param("filename", header="content-disposition")
        if filename is None:
            fields[name] = part.get_content()
        else:
            files.append({"field": name, "filename": filename, "data": part.get_payload(decode=True).hex()})
    return fields, files


def basic(account):
    return "Basic " + base64.b64encode(account.encode()).decode() if account else None


def make_handler(state, auth, proxy_auth, redirect, drop, silent, status, endless, tunnel_context):
    counter = {"requests": 0, "connects": 0}

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def answer(self, status, headers=(), text=b""):
            self.send_response(status)
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Length", str(len(text)))
            self.end_headers()
            self.wfile.write(text)

        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0"))
            body = self.rfile.read(length)
            counter["requests"] += 1
            tunneled = getattr(self, "tunneled", False)
            proxy_authorized = tunneled or proxy_auth is None or \
                self.headers.get("Proxy-Authorization") == basic(proxy_auth)
            authorized = auth is None or self.headers.get("Authorization") == basic(auth)
            record = {"path": self.path, "length": length, "received": len(body), "from": self.headers.get("From"),
                      "proxy_authorized": proxy_authorized, "authorized": authorized}
            if tunneled:
                record["proxy_credentials_in_tunnel"] = "Proxy-Authorization" in self.headers
            content_type = self.headers.get("Content-Type", "")
            if authorized and content_type.startswith("multipart/"):
                record["fields"], record["files"] = parse_form(content_type, body)
            elif authorized:
                record["method"], record["content_type"], record["body"] = self.command, content_type, body.decode()
            with open(os.path.join(state, "request-%d.json" % counter["requests"]), "w", encoding="utf-8") as out:
                json.dump(record, out, ensure_ascii=False)
            if drop:
                self.close_connection = True
            elif silent:
                server_state.wait_while(lambda: not os.path.exists(os.path.join(state, "stop")))
                self.close_connection = True
            elif status:
                self.answer(status, [("Content-Type", "text/plain")], b"Not taken")
            elif not proxy_authorized:
                self.answer(407, [("Proxy-Authenticate", 'Basic realm="proxy"')])
            elif not authorized:
                self.answer(401, [("WWW-Authenticate", 'Basic realm="reports"')])
            elif endless:
                # An answer without a length that goes on until the client hangs up (64 MiB at most).
                self.send_response(200)
                self.end_headers()
                self.close_connection = True
                for _ in range(1024):
                    self.wfile.write(b"x" * 65536)
            elif redirect:
                self.answer(302, [("Location", "http://127.0.0.1:%d/thanks" % self.server.server_port)])
            else:
                self.answer(200, [("Content-Type", "text/plain")], b"Report received")

        do_GET = do_POST

        def do_CONNECT(self):
            """A proxy's tunnel that ends here: TLS with the self-signed certificate, then the
            requests inside are answered as any others."""
            counter["connects"] += 1
            authorized = proxy_auth is None or self.headers.get("Proxy-Authorization") == basic(proxy_auth)
            with open(os.path.join(state, "connect-%d.json" % counter["connects"]), "w") as out:
                json.dump({"target": self.path, "proxy_authorized": authorized}, out)
            if not authorized:
                self.answer(407, [("Proxy-Authenticate", 'Basic realm="proxy"')])
                return
            self.send_response(200, "Connection established")
            self.end_headers()
            self.connection = tunnel_context.wrap_socket(self.connection, server_side=True)
            self.rfile = self.connection.makefile("rb")
            self.wfile = self.connection.makefile("wb", buffering=0)
            self.tunneled = True

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--auth")
    parser.add_argument("--proxy-auth")
    parser.add_argument("--redirect", action="store_true")
    parser.add_argument("--drop", action="store_true")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--endless", action="store_true")
    parser.add_argument("--status", type=int)
    parser.add_argument("--tunnel", action="store_true", help="take CONNECT and end the tunnel here, over TLS")
    parser.add_argument("--tls", action="store_true", help="https with a self-signed certificate for localhost")
    parser.add_argument("--ca", action="store_true", help="https with a certificate of a CA of its own")
    parser.add_argument("--ca-dir", help="https with a certificate of the CA in this folder")
    arguments = parser.parse_args()
    os.makedirs(arguments.state, exist_ok=True)
    tunnel_context = make_context(arguments.state, False) if arguments.tunnel else None
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             make_handler(arguments.state, arguments.auth, arguments.proxy_auth,
                                                          arguments.redirect, arguments.drop, arguments.silent, arguments.status,
                                                          arguments.endless, tunnel_context))
    if arguments.tls or arguments.ca or arguments.ca_dir:
        context = make_context(arguments.state, arguments.ca, arguments.ca_dir)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()
    running = server_state.announce(arguments.state, {"port": server.server_port})
    server_state.wait_while(running)
    server.shutdown()


if __name__ == "__main__":
    server_state.run(main)
