"""Writing a reply to the client, normally or in the broken ways the transport scenarios ask for.

Bodies are bytes or a `StreamBody`, which produces a large body chunk by chunk without holding it in memory.
Every wait watches the server's stop event, so a stalled connection never holds up the server's shutdown.
"""

import email.utils
import http
import random
import socket
import struct

CHUNK = 64 * 1024


class StreamBody:
    """`size` bytes: `prefix`, then the repeated `pattern`, then `suffix` (cut to size if they do not fit)."""

    def __init__(self, size, pattern=b"a", prefix=b"", suffix=b""):
        self.size = max(0, int(size))
        self.prefix = prefix[: self.size]
        self.suffix = suffix[: max(0, self.size - len(self.prefix))]
        self.pattern = pattern or b"a"
        self._block = self.pattern * (CHUNK // len(self.pattern) + 1)

    def __len__(self):
        return self.size

    def chunks(self):
        yield self.prefix
        middle = self.size - len(self.prefix) - len(self.suffix)
        offset = 0  # keeps the pattern continuous across blocks
        while middle > 0:
            count = min(middle, CHUNK)
            start = offset % len(self.pattern)
            yield self._block[start : start + count]
            offset += count
            middle -= count
        yield self.suffix


def body_chunks(body, limit=None):
    """Yields the body's bytes in pieces, at most `limit` bytes in all."""
    if isinstance(body, StreamBody):
        pieces = body.chunks()
    else:
        pieces = (body[i : i + CHUNK] for i in range(0, len(body), CHUNK))
    remaining = len(body) if limit is None else min(limit, len(body))
    for piece in pieces:
        if remaining <= 0:
            return
        if not piece:
            continue
        piece = piece[:remaining]
        remaining -= len(piece)
        yield piece


def garbage_bytes(size):
    """Deterministic bytes that are not an HTTP response (they never begin with "HTTP/")."""
    data = bytearray(b"\x00\xff\xfeGARBAGE\x1b[2J")
    data += random.Random(4242).randbytes(max(0, size - len(data)))
    return bytes(data[:size])


def reason(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Status %d" % status


class Delivery:
    """Sends one reply over a handler's connection. `stop` is the server's stop event."""

    def __init__(self, handler, stop):
        self.handler = handler
        self.stop = stop
        self.out = handler.wfile

    def wait(self, seconds):
        if seconds > 0:
            self.stop.wait(seconds)

    def close(self, reset=False):
        """Ends the connection; with `reset` it is aborted (RST) instead of closed in order."""
        self.handler.close_connection = True
        connection = self.handler.connection
        try:
            if reset:
                connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            else:
                self.out.flush()
                connection.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def write(self, data):
        self.out.write(data)

    def head(self, reply, framing, length):
        handler = self.handler
        lines = ["HTTP/1.1 %d %s" % (reply.status, reason(reply.status))]
        lines.append("Server: QuillburyStandIn/1.0")
        lines.append("Date: " + email.utils.formatdate(usegmt=True))
        if reply.ctype:
            lines.append("Content-Type: " + reply.ctype)
        lines.extend("%s: %s" % (name, value) for name, value in reply.headers)
        if framing == "chunked":
            lines.append("Transfer-Encoding: chunked")
        elif framing == "length":
            lines.append("Content-Length: %d" % length)
        if framing == "close" or handler.close_connection:
            handler.close_connection = True
            lines.append("Connection: close")
        else:
            lines.append("Connection: keep-alive")
        self.write(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1", errors="replace"))

    def body(self, body, chunked=False, chunk_size=None, limit=None):
        for piece in body_chunks(body, limit):
            if self.stop.is_set():
                raise ConnectionAbortedError("stand-in stopping")
            if chunked:
                step = chunk_size or len(piece)
                for i in range(0, len(piece), step):
                    part = piece[i : i + step]
                    self.write(b"%x\r\n" % len(part) + bytes(part) + b"\r\n")
            else:
                self.write(piece)
        if chunked:
            self.write(b"0\r\n\r\n")

    def send(self, reply, mode=None, params=None, delay=0.0, head_only=False):
        """Writes the reply as `mode` (a transport scenario name, or None for a normal answer) asks."""
        params = params or {}
        self.wait(delay)
        if self.stop.is_set():
            return self.close()
        if mode == "drop":
            return self.close(reset=params.get("rst") == "1")
        if mode == "garbage":
            self.write(garbage_bytes(int(float(params.get("size", "2048")))))
            return self.close()
        if mode == "endless_header":
            self.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nX-Endless: ")
            self.body(StreamBody(int(float(params.get("size", str(64 * 1024 * 1024))))))
            return self.close()
        if mode == "stall" and params.get("phase", "headers") == "headers":
            self.out.flush()
            self.wait(float(params.get("seconds", "120")))
            return self.close()

        body = reply.body
        size = len(body)
        framing = {"chunked": "chunked", "no_length": "close"}.get(mode, "length")
        if mode == "huge" and params.get("chunked") == "1":
            framing = "chunked"
        self.head(reply, framing, size)
        if head_only:
            return self.out.flush()
        if mode in ("stall", "truncate"):
            sent = int(float(params.get("sent", str(size // 2))))
            self.body(body, limit=sent)
            self.out.flush()
            if mode == "stall":
                self.wait(float(params.get("seconds", "120")))
            return self.close()
        chunk_size = int(float(params.get("chunk", "1000"))) if framing == "chunked" else None
        self.body(body, chunked=framing == "chunked", chunk_size=chunk_size)
        self.out.flush()
        if framing == "close":
            self.close()
