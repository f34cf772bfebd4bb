"""Certificates for the local TLS servers of the mail and upload tests, made with openssl.

Run as a program, `test_certificates.py make-ca FOLDER` makes a CA in FOLDER (ca.pem, ca-key.pem)
unless one is there.
"""
import os
import ssl
import subprocess
import sys


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, capture_output=True)


def make_ca(folder, days=2):
    """A CA of its own in FOLDER (ca.pem, ca-key.pem), kept when it is there already."""
    ca, ca_key = os.path.join(folder, "ca.pem"), os.path.join(folder, "ca-key.pem")
    if not os.path.exists(ca):
        os.makedirs(folder, exist_ok=True)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca + ".part",
                "-days", str(days), "-subj", "/CN=Crash report test CA")
        os.rename(ca + ".part", ca)
    return ca, ca_key


def make_context(state, signed_by_ca, ca_folder=None):
    """A certificate for "localhost": self-signed, or signed by a CA: the one in ca_folder, else
    one of its own (STATE/ca.pem)."""
    cert, key = os.path.join(state, "cert.pem"), os.path.join(state, "key.pem")
    if signed_by_ca or ca_folder:
        ca, ca_key = make_ca(ca_folder or state)
        request = os.path.join(state, "request.pem")
        extensions = os.path.join(state, "extensions.cnf")
        with open(extensions, "w") as out:
            out.write("subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request, "-subj", "/CN=localhost")
        openssl("x509", "-req", "-in", request, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial",
                "-CAserial", os.path.join(state, "ca.srl"), "-out", cert, "-days", "2", "-extfile", extensions)
    else:
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
                "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost")
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


if __name__ == "__main__" and len(sys.argv) == 3 and sys.argv[1] == "make-ca":
    make_ca(sys.argv[2], days=3650)
