"""A test certificate authority made with openssl at test time: a CA certificate, and server
certificates for 127.0.0.1 signed by it (or by nobody, for the refusal cases).

    ca = TestCA(folder)            # makes ca.pem / ca.key in folder
    tls = ca.issue("server")       # server.pem / server.key for 127.0.0.1, signed by the CA
    rogue = TestCA.self_signed(folder, "rogue")   # a certificate that no trusted CA signed
    MockServer(tls=tls)
"""
import os
import ssl
import subprocess

CA_DAYS = "30"
KEY_BITS = "2048"


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class ServerIdentity:
    """A certificate with its key: what a MockServer presents."""

    def __init__(self, cert_path, key_path):
        self.cert_path = cert_path
        self.key_path = key_path

    def server_context(self):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(self.cert_path, self.key_path)
        return context


class TestCA:
    __test__ = False   # not a test case

    def __init__(self, folder, name="NolvexTestCA"):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.cert_path = os.path.join(folder, "ca.pem")
        self.key_path = os.path.join(folder, "ca.key")
        _openssl("req", "-x509", "-newkey", "rsa:" + KEY_BITS, "-nodes", "-days", CA_DAYS,
                 "-subj", "/CN=" + name, "-keyout", self.key_path, "-out", self.cert_path,
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)

    def der_path(self):
        """The CA certificate in DER form (what the Root-store tool reads)."""
        path = os.path.join(self.folder, "ca.der")
        _openssl("x509", "-in", self.cert_path, "-outform", "DER", "-out", path, cwd=self.folder)
        return path

    def issue(self, name):
        return _make_server_cert(self.folder, name, self.cert_path, self.key_path)

    @staticmethod
    def self_signed(folder, name):
        os.makedirs(folder, exist_ok=True)
        return _make_server_cert(folder, name, None, None)


def _make_server_cert(folder, name, ca_cert, ca_key):
    key = os.path.join(folder, name + ".key")
    cert = os.path.join(folder, name + ".pem")
    ext = os.path.join(folder, name + ".ext")
    with open(ext, "w", encoding="ascii") as out:
        out.write("subjectAltName=IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost\n"
                  "extendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n")
    csr = os.path.join(folder, name + ".csr")
    _openssl("req", "-newkey", "rsa:" + KEY_BITS, "-nodes", "-subj", "/CN=127.0.0.1",
             "-keyout", key, "-out", csr, cwd=folder)
    if ca_cert:
        _openssl("x509", "-req", "-in", csr, "-CA", ca_cert, "-CAkey", ca_key, "-CAcreateserial",
                 "-days", CA_DAYS, "-extfile", ext, "-out", cert, cwd=folder)
    else:
        _openssl("x509", "-req", "-in", csr, "-signkey", key, "-days", CA_DAYS, "-extfile", ext,
                 "-out", cert, cwd=folder)
    return ServerIdentity(cert, key)
