"""Certificates for the local TLS servers of the mail and upload tests, made with openssl."""
import os
import ssl
import subprocess


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, capture_output=True)


def make_context(state, signed_by_ca):
    """A certificate for "localhost": self-signed, or signed by a CA of its own (STATE/ca.pem)."""
    cert, key = os.path.join(state, "cert.pem"), os.path.join(state, "key.pem")
    if signed_by_ca:
        ca, ca_key, request = (os.path.join(state, name) for name in ("ca.pem", "ca-key.pem", "request.pem"))
        extensions = os.path.join(state, "extensions.cnf")
        with open(extensions, "w") as out:
            out.write("subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca, "-days", "2",
                "-subj", "/CN=Crash report test CA")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request, "-subj", "/CN=localhost")
        openssl("x509", "-req", "-in", request, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial", "-out", cert,
                "-days", "2", "-extfile", extensions)
    else:
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
                "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost")
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context
