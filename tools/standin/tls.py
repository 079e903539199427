"""A self-signed certificate for https requests that arrive through a CONNECT tunnel.

The certificate is made once per stand-in, on first use, with the openssl command-line tool; the client under
test is expected to accept it (it ignores unknown authorities and name mismatches on https addresses).
"""

import os
import shutil
import ssl
import subprocess
import tempfile
import threading

_NAMES = "DNS:www.quillbury.co.uk,DNS:*.quillbury.co.uk,DNS:quillbury.co.uk,DNS:localhost,IP:127.0.0.1"


class TlsContext:
    def __init__(self):
        self._lock = threading.Lock()
        self._context = None
        self._failed = None

    def get(self):
        """The server-side SSL context, or None when no certificate can be made (the reason in .failure)."""
        with self._lock:
            if self._context is None and self._failed is None:
                try:
                    self._context = self._make()
                except (OSError, subprocess.SubprocessError, ssl.SSLError) as error:
                    self._failed = str(error)
            return self._context

    @property
    def failure(self):
        return self._failed

    @staticmethod
    def _make():
        openssl = shutil.which("openssl")
        if openssl is None:
            raise OSError("openssl is not installed")
        folder = tempfile.mkdtemp(prefix="standin-tls-")
        try:
            key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
            subprocess.run(
                [openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                 "-days", "3650", "-subj", "/CN=www.quillbury.co.uk", "-addext", "subjectAltName=" + _NAMES],
                check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=60,
            )
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(cert, key)
            return context
        finally:
            shutil.rmtree(folder, ignore_errors=True)
