#!/usr/bin/env python3
"""Local stand-in of the Quillbury cashback web service, for tests and demos.

It answers every endpoint of the service with fixture data, for any host name, whether reached directly
(origin-form requests) or as an HTTP proxy (absolute-form requests, e.g. through http_proxy under Wine).
Scenarios make it misbehave on purpose; a control API under /__standin/ changes scenarios and fixtures at
run time; every request is logged as one JSON line. See README.md.

  standin.py [--host 127.0.0.1] [--port 0] [--port-file PATH] [--log PATH.jsonl] [--scenario NAME ...]
             [--shops N | --shop-file PATH] [--accounts EMAIL:PASSWORD ...] [--exit-with-parent] [--verbose]
"""

import argparse
import datetime
import json
import os
import re
import signal
import socket
import sys
import threading
import time
from http.server import ThreadingHTTPServer

sys.dont_write_bytecode = True  # keep the source tree free of caches when run from it
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import control  # noqa: E402 - needs the path above when run as a script
from delivery import StreamBody  # noqa: E402
from fixtures import DEFAULT_SHOP_COUNT, Fixtures  # noqa: E402
from handler import Handler  # noqa: E402
from scenarios import ScenarioSet, parse_scenario  # noqa: E402
from service import Reply, Service, text_reply  # noqa: E402
from testbody import test_reply  # noqa: E402
from tls import TlsContext  # noqa: E402

_CUT_HTML_PREFIX = b"<html><head><title>Cut short</title></head><body>"
_ERROR_BODY = "<html><head><title>%d Error</title></head><body><h1>Error %d</h1><p>stand-in scenario</p></body></html>"


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False  # stop() ends the connections itself; never wait for an idle keep-alive one
    request_queue_size = 64


class StandIn:
    """One stand-in server: its fixtures, scenarios, request log and listening socket."""

    def __init__(self, host="127.0.0.1", port=0, log_path=None, scenarios=(), shops=DEFAULT_SHOP_COUNT,
                 shop_file=None, accounts=None, verbose=False):
        self.host = host
        self.requested_port = port
        self.log_path = log_path
        self.start_scenarios = list(scenarios)
        self.shop_count = shops
        self.shop_file_bytes = None
        if shop_file:
            with open(shop_file, "rb") as f:
                self.shop_file_bytes = f.read()
        self.start_accounts = dict(accounts or {})
        self.verbose = verbose
        self.lock = threading.RLock()
        self.stop_event = threading.Event()
        self.tls = TlsContext()
        self.service = Service(self)
        self._log_lock = threading.Lock()
        self._log = []
        self._seq = 0
        self._log_file = open(log_path, "a", encoding="utf-8") if log_path else None
        self._counts = {}
        self._connections = set()
        self.scenarios = ScenarioSet()
        self.server = None
        self._thread = None
        self.reset()

    # Lifecycle

    def start(self):
        """Starts listening and serving on a background thread; returns the port."""
        self.server = _Server((self.host, self.requested_port), Handler)
        self.server.standin = self
        self._thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.1},
                                        name="standin", daemon=True)
        self._thread.start()
        return self.port

    @property
    def port(self):
        return self.server.server_address[1] if self.server else None

    def stop(self):
        """Stops serving, ends open connections (idle and stalled ones included) and closes the log file."""
        self.stop_event.set()
        if self.server:
            self.server.shutdown()
            self._thread.join(5)
        with self.lock:
            connections = list(self._connections)
        for connection in connections:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        if self.server:
            self.server.server_close()
        with self._log_lock:
            if self._log_file:
                self._log_file.close()
                self._log_file = None

    def connection_opened(self, connection):
        with self.lock:
            self._connections.add(connection)

    def connection_closed(self, connection):
        with self.lock:
            self._connections.discard(connection)

    def reset(self, clear_log=False):
        """Fixtures, scenarios and counts as at start."""
        with self.lock:
            self.fixtures = Fixtures(self.shop_count, self.shop_file_bytes, self.start_accounts)
            self.scenarios.clear()
            for text in self.start_scenarios:
                name, params = parse_scenario(text)
                self.scenarios.set(name, params)
            self._counts = {}
        if clear_log:
            self.clear_log()

    # Log

    def record(self, request, endpoint, status, scenarios=(), count=None, control=False, delivery=None):
        """Appends one request to the log (memory and file, flushed) and returns the entry."""
        now = time.time()
        entry = {
            "time": datetime.datetime.fromtimestamp(now, datetime.timezone.utc).isoformat(timespec="milliseconds"),
            "epoch": round(now, 6),
            "client": request.client,
            "method": request.method,
            "target": request.target,
            "url": request.url,
            "scheme": request.scheme,
            "host": request.host,
            "path": request.path,
            "query": request.query,
            "params": request.params,
            "raw_params": request.raw_params,
            "headers": request.headers,
            "endpoint": endpoint,
            "status": status,
            "scenarios": list(scenarios),
            "delivery": delivery,
            "count": count,
            "control": control,
        }
        if request.body:
            entry["body"] = request.body.decode("latin-1")
        with self._log_lock:
            self._seq += 1
            entry["seq"] = self._seq
            self._log.append(entry)
            if self._log_file:
                self._log_file.write(json.dumps(entry) + "\n")
                self._log_file.flush()
        return entry

    def entries(self):
        with self._log_lock:
            return list(self._log)

    def clear_log(self):
        with self._log_lock:
            self._log = []

    def counts_snapshot(self):
        with self.lock:
            return dict(self._counts)

    # Answering

    def respond(self, request):
        """(reply, transport mode, mode parameters, delay) for one request, which is logged first."""
        with self.lock:
            count = self._counts.get(request.url, 0) + 1
            self._counts[request.url] = count
        if request.path.startswith("/__standin/"):
            reply = control.handle(self, request)
            self.record(request, "control", reply.status, count=count, control=True)
            return reply, None, {}, 0.0

        mode, params, delay = None, {}, 0.0
        self.scenarios.begin_request()
        try:
            if request.path.startswith("/__test/"):
                reply, mode, params, delay = test_reply(request, count)
            else:
                with self.lock:
                    reply = self.service.handle(request)
        except ValueError as error:
            reply = text_reply("bad request: %s\n" % error, "bad_request", 400, "text/plain")
        extra_delay, scenario = self.scenarios.take_transport(request.path)
        delay += extra_delay
        if scenario is not None:
            reply, mode, params = self.apply_transport(scenario, reply)
        status = None if mode in ("drop", "garbage", "endless_header") else reply.status
        if mode == "stall" and params.get("phase", "headers") == "headers":
            status = None
        self.record(request, reply.endpoint, status, scenarios=self.scenarios.used(), count=count, delivery=mode)
        return reply, mode, params, delay

    @staticmethod
    def apply_transport(scenario, reply):
        """(reply, mode, params) with the scenario's change applied to the reply or left to the delivery."""
        params = scenario.params
        if scenario.name == "htmlcut":
            if isinstance(reply.body, StreamBody):
                body = StreamBody(len(reply.body), pattern=reply.body.pattern, prefix=_CUT_HTML_PREFIX)
            else:
                body = _CUT_HTML_PREFIX + re.sub(rb"(?i)</html>", b"", reply.body)
            return Reply(body, reply.status, reply.ctype, reply.endpoint), None, {}
        if scenario.name == "error":
            code = int(float(params.get("code", "500")))
            if params.get("keep") == "1":
                return Reply(reply.body, code, reply.ctype, reply.endpoint, reply.headers), None, {}
            body = params.get("body", _ERROR_BODY % (code, code))
            return text_reply(body, reply.endpoint, code), None, {}
        if scenario.name == "huge":
            size = int(float(params.get("size", "50000000")))
            if params.get("fill") == "html":
                body = StreamBody(size, prefix=b"<html><body>", suffix=b"</body></html>")
            else:
                body = StreamBody(size)
            return Reply(body, 200, reply.ctype, reply.endpoint), "huge", params
        if scenario.name == "slow":
            return reply, None, {}
        return reply, scenario.name, params


def parse_accounts(values):
    accounts = {}
    for value in values or ():
        email, separator, password = value.partition(":")
        if not separator or not email:
            raise SystemExit("standin: --accounts takes EMAIL:PASSWORD, not %r" % value)
        accounts[email] = password
    return accounts


def watch_parent(standin, done):
    """Stops the stand-in when the process that started it has gone (so it can never be left running)."""
    parent = os.getppid()
    while not done.wait(0.5):
        if os.getppid() != parent:
            done.set()
            return


def main(argv=None):
    parser = argparse.ArgumentParser(description="Stand-in of the Quillbury cashback web service.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", help="write the listening port here once listening")
    parser.add_argument("--log", help="append every request to this file as one JSON line")
    parser.add_argument("--scenario", action="append", default=[], metavar="NAME[&k=v...]",
                        help="switch a scenario on at start (repeatable)")
    group = parser.add_mutually_exclusive_group()
    group.add_argument("--shops", type=int, default=DEFAULT_SHOP_COUNT, help="number of shops in the shop list")
    group.add_argument("--shop-file", help="serve this file as the shop list, byte for byte")
    parser.add_argument("--accounts", nargs="+", default=[], metavar="EMAIL:PASSWORD",
                        help="accounts in addition to the built-in ones")
    parser.add_argument("--exit-with-parent", action="store_true", help="stop when the parent process ends")
    parser.add_argument("--verbose", action="store_true", help="print a line per request on stderr")
    args = parser.parse_args(argv)

    try:
        standin = StandIn(args.host, args.port, args.log, args.scenario, args.shops, args.shop_file,
                          parse_accounts(args.accounts), args.verbose)
    except ValueError as error:  # a bad --scenario
        raise SystemExit("standin: %s" % error)
    port = standin.start()
    if args.port_file:
        temporary = args.port_file + ".tmp"
        with open(temporary, "w") as f:
            f.write("%d\n" % port)
        os.replace(temporary, args.port_file)
    print("standin: listening on %s:%d" % (args.host, port), file=sys.stderr, flush=True)

    done = threading.Event()
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, lambda *_: done.set())
    if args.exit_with_parent:
        threading.Thread(target=watch_parent, args=(standin, done), daemon=True).start()
    while not done.wait(0.5):
        pass
    standin.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
