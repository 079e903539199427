"""One request as the stand-in saw it: the target as received (absolute form through a proxy, or origin form),
the host it was meant for, the raw query and its pairs in order, raw and percent-decoded.
"""

from dataclasses import dataclass, field
from urllib.parse import unquote_to_bytes


def decode_component(text, plus_is_space=True):
    """Percent-decodes one query component ('+' is a space) or, with plus_is_space False, a path.

    The bytes are read as UTF-8, else as Windows-1252 (the client's narrow code page).
    """
    raw = text.encode("latin-1", errors="replace")
    data = unquote_to_bytes(raw.replace(b"+", b" ") if plus_is_space else raw)
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace")


def split_query(query):
    """[[key, value], ...] as written, in order; a segment without '=' gives an empty value."""
    pairs = []
    for segment in query.split("&"):
        if segment:
            key, _, value = segment.partition("=")
            pairs.append([key, value])
    return pairs


def split_target(target, host_header, tunnel=None):
    """(scheme, host with port, path, query) from a request target in absolute or origin form.

    `target` is the request line's target, characters being the received bytes (latin-1). `tunnel` is the
    host:port of a CONNECT tunnel the request arrived through, which makes it an https request.
    """
    lowered = target[:8].lower()
    if lowered.startswith("http://") or lowered.startswith("https://"):
        scheme, _, rest = target.partition("://")
        scheme = scheme.lower()
        cut = min([i for i in (rest.find("/"), rest.find("?")) if i >= 0], default=len(rest))
        host, rest = rest[:cut], rest[cut:]
        if not rest.startswith("/"):
            rest = "/" + rest
    else:
        scheme = "https" if tunnel else "http"
        host = host_header or (tunnel or "localhost")
        rest = target if target.startswith("/") else "/" + target
    # Wine's WinHTTP writes the default port into proxy requests ("http://host:80/..."); the address the
    # client meant has none.
    default_port = {"http": ":80", "https": ":443"}.get(scheme)
    if default_port and host.endswith(default_port):
        host = host[: -len(default_port)]
    path, _, query = rest.partition("?")
    return scheme, host, path, query


def host_name(host):
    """Host without user information or port, lower case."""
    host = host.rpartition("@")[2]
    if host.startswith("["):
        return host.partition("]")[0][1:].lower()
    return host.partition(":")[0].lower()


@dataclass
class Request:
    method: str
    target: str  # as received on the request line
    scheme: str
    host: str  # host[:port] the request was meant for
    path: str  # raw, not decoded
    query: str  # raw, without '?'
    headers: list  # [[name, value], ...] in order
    client: str = ""
    body: bytes = b""
    raw_params: list = field(default_factory=list)
    params: list = field(default_factory=list)

    def __post_init__(self):
        self.raw_params = split_query(self.query)
        self.params = [[decode_component(k), decode_component(v)] for k, v in self.raw_params]

    @property
    def hostname(self):
        return host_name(self.host)

    @property
    def url(self):
        """The absolute address of the request."""
        return "%s://%s%s%s" % (self.scheme, self.host, self.path, "?" + self.query if self.query else "")

    def param(self, key, default=""):
        """The first decoded value of a query key."""
        for k, v in self.params:
            if k == key:
                return v
        return default

    def has(self, key):
        return any(k == key for k, _ in self.params)

    def param_dict(self):
        """Decoded parameters as a dict (the first value of each key wins)."""
        result = {}
        for k, v in self.params:
            result.setdefault(k, v)
        return result
