"""Endpoints for the HTTP client's own tests: a body made to order, and a fast download.

/__test/body      size=N            body length in bytes (default 10240; ignored with text=)
                  fill=a|zero|html|htmlcut|seq|bytes
                                    'a' repeated; 'zero' puts a zero byte at position zero_at (default the
                                    middle); 'html' a complete page of exactly N bytes; 'htmlcut' "<html>..."
                                    without "</html>"; 'seq' the digits 0-9 repeated; 'bytes' 0x00-0xff repeated
                  text=T            the body is T, encoded as encode=utf-8|cp1252|latin-1 (default utf-8)
                  charset=C|none    Content-Type "text/html; charset=C", or "text/html" for none (default)
                  ctype=M           the whole Content-Type instead
                  status=N          status code (default 200)
                  delay=S           wait S seconds before answering
                  drop=1            close the connection without answering
                  drop_first=K      ... only for the first K requests of this exact address
                  htmlcut_first=K   answer fill=htmlcut for the first K requests of this exact address
                  chunked=1         chunked transfer coding (chunk=N bytes per chunk)
                  cut=K             announce the whole length but send only K bytes, then close
/__test/download  size=N            N bytes of 'a', streamed (default 10 MiB)
"""

from delivery import StreamBody
from service import Reply

IN_MEMORY_LIMIT = 16 * 1024 * 1024


class TestEndpointError(ValueError):
    pass


def _int(request, key, default):
    value = request.param(key, None)
    if value in (None, ""):
        return default
    try:
        return int(float(value))
    except ValueError:
        raise TestEndpointError("%s must be a number" % key) from None


def make_body(fill, size, zero_at=None):
    if size < 0:
        raise TestEndpointError("size must not be negative")
    if fill == "a":
        return StreamBody(size)
    if fill == "html":
        return StreamBody(size, prefix=b"<html><body>", suffix=b"</body></html>")
    if fill == "htmlcut":
        return StreamBody(size, prefix=b"<html><body>")
    if fill == "seq":
        return StreamBody(size, pattern=b"0123456789")
    if fill == "bytes":
        return StreamBody(size, pattern=bytes(range(256)))
    if fill == "zero":
        if size > IN_MEMORY_LIMIT:
            raise TestEndpointError("fill=zero is limited to %d bytes" % IN_MEMORY_LIMIT)
        data = bytearray(b"a" * size)
        position = size // 2 if zero_at is None else zero_at
        if 0 <= position < size:
            data[position] = 0
        return bytes(data)
    raise TestEndpointError("unknown fill %r" % fill)


def test_reply(request, count):
    """(reply, transport mode or None, mode parameters, delay) for a /__test/ request.

    `count` is how many times this exact address has been requested, this request included.
    """
    if request.path == "/__test/download":
        body = StreamBody(_int(request, "size", 10 * 1024 * 1024))
        return Reply(body, 200, "application/octet-stream", "test_download"), None, {}, 0.0
    if request.path != "/__test/body":
        raise TestEndpointError("unknown test endpoint %s" % request.path)

    if request.has("text"):
        encoding = request.param("encode", "utf-8") or "utf-8"
        body = request.param("text").encode(encoding, errors="replace")
    else:
        fill = request.param("fill", "a") or "a"
        if count <= _int(request, "htmlcut_first", 0):
            fill = "htmlcut"
        zero_at = _int(request, "zero_at", None)
        body = make_body(fill, _int(request, "size", 10240), zero_at)

    charset = request.param("charset", "none")
    ctype = request.param("ctype", "") or ("text/html" if charset in ("", "none") else "text/html; charset=" + charset)
    reply = Reply(body, _int(request, "status", 200), ctype, "test_body")

    params = {}
    mode = None
    if request.param("drop") == "1" or count <= _int(request, "drop_first", 0):
        mode = "drop"
    elif request.has("cut"):
        mode, params = "truncate", {"sent": str(_int(request, "cut", 0))}
    elif request.param("chunked") == "1":
        mode, params = "chunked", {"chunk": str(_int(request, "chunk", 1000))}
    delay = float(request.param("delay", "0") or "0")
    return reply, mode, params, delay
