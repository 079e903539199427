"""The HTTP/1.1 request handler: reads a request (absolute form through a proxy, or origin form), lets the
stand-in answer and log it, and delivers the reply. CONNECT opens a TLS tunnel in which https requests are
answered the same way.
"""

import socket
import ssl
from http.server import BaseHTTPRequestHandler

from delivery import Delivery
from request import Request, split_target

MAX_REQUEST_BODY = 16 * 1024 * 1024
_EXPECTED_ERRORS = (BrokenPipeError, ConnectionError, TimeoutError, socket.timeout, ssl.SSLError)


class SocketWriter:
    """Unbuffered writer that always writes everything (a raw socket file may write only part)."""

    closed = False

    def __init__(self, sock):
        self.sock = sock

    def write(self, data):
        self.sock.sendall(data)
        return len(data)

    def flush(self):
        pass

    def close(self):
        self.closed = True


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuillburyStandIn/1.0"
    timeout = 120  # an idle keep-alive connection is closed after this many seconds
    tunnel = None  # host:port of the CONNECT tunnel this connection has become

    def setup(self):
        super().setup()
        self.server.standin.connection_opened(self.connection)

    def finish(self):
        try:
            super().finish()
        except OSError:
            pass
        self.server.standin.connection_closed(self.connection)
        if self.tunnel:
            try:
                self.connection.close()
            except OSError:
                pass

    def log_message(self, format, *args):  # noqa: A002 - the base class's signature
        if self.server.standin.verbose:
            super().log_message(format, *args)

    def handle_one_request(self):
        try:
            super().handle_one_request()
        except _EXPECTED_ERRORS:
            self.close_connection = True

    def read_body(self):
        length = self.headers.get("Content-Length")
        if not length:
            return b""
        try:
            count = int(length)
        except ValueError:
            count = -1
        if count < 0 or count > MAX_REQUEST_BODY:
            self.close_connection = True
            return b""
        return self.rfile.read(count)

    def make_request(self, method, body=b""):
        scheme, host, path, query = split_target(self.path, self.headers.get("Host"), self.tunnel)
        return Request(
            method=method,
            target=self.path,
            scheme=scheme,
            host=host,
            path=path,
            query=query,
            headers=[[k, v] for k, v in self.headers.items()],
            client="%s:%s" % self.client_address[:2],
            body=body,
        )

    def dispatch(self):
        standin = self.server.standin
        request = self.make_request(self.command, self.read_body())
        reply, mode, params, delay = standin.respond(request)
        Delivery(self, standin.stop_event).send(reply, mode, params, delay, head_only=self.command == "HEAD")

    do_GET = do_HEAD = do_POST = do_PUT = do_DELETE = do_OPTIONS = do_PATCH = dispatch

    def do_CONNECT(self):
        standin = self.server.standin
        request = self.make_request("CONNECT")
        request.scheme, request.host, request.path = "https", self.path, ""
        context = None if self.tunnel else standin.tls.get()
        standin.record(request, endpoint="connect", status=200 if context else 502)
        if context is None:
            body = ("no TLS tunnel: %s" % (standin.tls.failure or "nested CONNECT")).encode()
            self.wfile.write(
                b"HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/plain\r\nConnection: close\r\n"
                b"Content-Length: %d\r\n\r\n%s" % (len(body), body)
            )
            self.close_connection = True
            return
        self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
        try:
            secure = context.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError):
            self.close_connection = True
            return
        standin.connection_closed(self.connection)
        standin.connection_opened(secure)
        self.connection = self.request = secure
        self.rfile = secure.makefile("rb", self.rbufsize)
        self.wfile = SocketWriter(secure)
        self.tunnel = self.path
