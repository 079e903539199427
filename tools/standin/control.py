"""The control API under "/__standin/" (any host), driven with GET requests so that a test program can use it
through the same proxy as the product:

  /__standin/ping                         "ok"
  /__standin/reset[?log=1]                fixtures, scenarios and counts back to the start state (log=1: also
                                          empty the in-memory log)
  /__standin/scenario?set=NAME&k=v...     switch a scenario on (parameters: see scenarios.py)
  /__standin/scenario?clear=NAME|all      switch scenarios off
  /__standin/scenarios                    the active scenarios
  /__standin/fixture?k=v...               change fixtures; without parameters: show them
  /__standin/log[?path=T&endpoint=E&since=SEQ&all=1]
                                          logged requests as a JSON array (control requests only with all=1)
  /__standin/log/clear                    empty the in-memory log (the log file keeps every line)
  /__standin/counts                       how many times each distinct address was requested
"""

import json

from fixtures import OVERRIDE_NAMES
from scenarios import ScenarioError
from service import Reply

_SIMPLE_FIXTURES = ("version", "notice", "approved", "pending", "number")


class ControlError(ValueError):
    pass


def json_reply(value, status=200):
    return Reply(json.dumps(value, indent=1).encode("utf-8"), status, "application/json", "control")


def apply_fixture(fixtures, params):
    """Applies fixture?key=value pairs in order; returns the keys applied."""
    applied = []
    for key, value in params:
        if key in _SIMPLE_FIXTURES:
            setattr(fixtures, key, value)
        elif key == "shops":
            try:
                count = int(value)
            except ValueError:
                raise ControlError("shops must be a whole number") from None
            fixtures.shop_file_bytes = None
            fixtures.set_shop_count(count)
        elif key in ("account", "account_digest"):
            email, separator, secret = value.partition(":")
            if not separator or not email:
                raise ControlError("%s must be EMAIL:%s" % (key, "PASSWORD" if key == "account" else "DIGEST"))
            if key == "account":
                fixtures.set_account(email, secret)
            else:
                fixtures.set_account(email, None, secret)
        elif key == "remove_account":
            fixtures.remove_account(value)
        elif key in OVERRIDE_NAMES:
            fixtures.overrides[key] = value
        elif key == "clear":
            if value == "all":
                fixtures.overrides.clear()
            elif value in OVERRIDE_NAMES:
                fixtures.overrides.pop(value, None)
            else:
                raise ControlError("clear takes all or one of: " + ", ".join(OVERRIDE_NAMES))
        else:
            raise ControlError("unknown fixture %r" % key)
        applied.append(key)
    return applied


def handle(standin, request):
    """Answers one control request; `standin` is the running StandIn."""
    command = request.path[len("/__standin/") :].strip("/")
    try:
        return _dispatch(standin, command, request)
    except (ControlError, ScenarioError) as error:
        return json_reply({"ok": False, "error": str(error)}, 400)


def _dispatch(standin, command, request):
    if command == "ping":
        return Reply(b"ok", 200, "text/plain", "control")
    if command == "reset":
        standin.reset(clear_log=request.param("log") == "1")
        return json_reply({"ok": True})
    if command == "scenario":
        params = [[k, v] for k, v in request.params if k not in ("set", "clear")]
        if request.has("clear"):
            standin.scenarios.clear(request.param("clear"))
        if request.has("set"):
            standin.scenarios.set(request.param("set"), dict(params))
        return json_reply({"ok": True, "scenarios": standin.scenarios.describe()})
    if command == "scenarios":
        return json_reply(standin.scenarios.describe())
    if command == "fixture":
        with standin.lock:
            applied = apply_fixture(standin.fixtures, request.params)
            return json_reply({"ok": True, "applied": applied, "fixtures": standin.fixtures.describe()})
    if command == "log":
        entries = standin.entries()
        if request.param("all") != "1":
            entries = [e for e in entries if not e.get("control")]
        if request.has("path"):
            entries = [e for e in entries if request.param("path") in e["path"]]
        if request.has("endpoint"):
            entries = [e for e in entries if e.get("endpoint") == request.param("endpoint")]
        if request.has("since"):
            try:
                since = int(request.param("since"))
            except ValueError:
                raise ControlError("since must be a whole number") from None
            entries = [e for e in entries if e["seq"] > since]
        return json_reply(entries)
    if command == "log/clear":
        standin.clear_log()
        return json_reply({"ok": True})
    if command == "counts":
        return json_reply(standin.counts_snapshot())
    raise ControlError("unknown control command %r" % command)
