"""Scenarios of the stand-in service: switches that change what an endpoint answers or how it is delivered.

Content scenarios change a reply of the service (rejected credentials, a changed password, a notice, a newer
version, a verbatim reply). Transport scenarios change the delivery of any reply (dropped connection, cut HTML,
error status, slow or stalled answers, garbage, an endless header line, huge or chunked bodies).

Every scenario takes optional parameters:
  path=TEXT[,TEXT...]  only requests whose path contains one of the texts (default: the scenario's own
                       endpoint for content scenarios, every non-control request for transport scenarios)
  times=N              apply to the next N matching requests only, then clear itself
"""

import itertools
import threading
from urllib.parse import parse_qsl

# Content scenario -> path it applies to by default (None: every request).
CONTENT = {
    "reject": "cashback_verify.php",
    "accept": "cashback_verify.php",
    "password_changed": "pwd_change_verify.php",
    "notice": "check_notice.php",
    "new_version": "check_version.php",
    "reply": None,
}
# "slow" only delays and combines with the others; of the rest the most recently set one wins.
TRANSPORT = (
    "slow",
    "drop",
    "htmlcut",
    "error",
    "stall",
    "garbage",
    "endless_header",
    "huge",
    "chunked",
    "no_length",
    "truncate",
)
NAMES = tuple(CONTENT) + TRANSPORT
NUMERIC_PARAMS = ("seconds", "delay", "size", "code", "sent", "chunk")


class ScenarioError(ValueError):
    pass


class Scenario:
    def __init__(self, name, params, order):
        self.name = name
        self.params = dict(params)
        self.order = order
        paths = self.params.pop("path", None)
        if paths is None:
            default = CONTENT.get(name)
            paths = default or ""
        self.paths = [p for p in paths.split(",") if p]
        times = self.params.pop("times", None)
        try:
            self.remaining = int(times) if times not in (None, "") else None
        except ValueError:
            raise ScenarioError("times must be a whole number") from None
        if self.remaining is not None and self.remaining <= 0:
            raise ScenarioError("times must be at least 1")
        for key in NUMERIC_PARAMS:
            if key in self.params:
                try:
                    float(self.params[key])
                except ValueError:
                    raise ScenarioError("%s must be a number" % key) from None

    def key(self):
        return (self.name, tuple(self.paths))

    def matches(self, path):
        return not self.paths or any(p in path for p in self.paths)

    def describe(self):
        return {"name": self.name, "paths": self.paths, "times": self.remaining, "params": self.params}


def parse_scenario(text):
    """'NAME', 'NAME&key=value...' or 'NAME?key=value...' (as on the command line) -> (name, params)."""
    for separator in ("?", "&"):
        if separator in text:
            name, _, rest = text.partition(separator)
            return name, dict(parse_qsl(rest, keep_blank_values=True))
    return text, {}


class ScenarioSet:
    """Active scenarios, safe to use from the server's threads."""

    def __init__(self):
        self._lock = threading.Lock()
        self._active = []
        self._order = itertools.count()
        self._local = threading.local()  # names of the scenarios used for the request of this thread

    def begin_request(self):
        self._local.used = []

    def used(self):
        """Names of the scenarios used since begin_request on this thread, in order of use."""
        return list(getattr(self._local, "used", []))

    def set(self, name, params):
        if name not in NAMES:
            raise ScenarioError("unknown scenario %r; known: %s" % (name, ", ".join(NAMES)))
        scenario = Scenario(name, params, next(self._order))
        with self._lock:
            self._active = [s for s in self._active if s.key() != scenario.key()]
            self._active.append(scenario)
        return scenario

    def clear(self, name=None):
        with self._lock:
            if name in (None, "", "all"):
                self._active = []
            else:
                self._active = [s for s in self._active if s.name != name]

    def describe(self):
        with self._lock:
            return [s.describe() for s in self._active]

    def _take(self, scenario):
        """Count one use of a matched scenario (lock held)."""
        if hasattr(self._local, "used"):
            self._local.used.append(scenario.name)
        if scenario.remaining is not None:
            scenario.remaining -= 1
            if scenario.remaining <= 0:
                self._active.remove(scenario)

    def take_content(self, names, path):
        """The most recent active content scenario among `names` that matches the path, counted as used."""
        with self._lock:
            found = [s for s in self._active if s.name in names and s.matches(path)]
            if not found:
                return None
            scenario = max(found, key=lambda s: s.order)
            self._take(scenario)
            return scenario

    def take_transport(self, path):
        """(total delay in seconds, the delivery scenario or None) for a request, each counted as used."""
        with self._lock:
            found = [s for s in self._active if s.name in TRANSPORT and s.matches(path)]
            delay = 0.0
            delivery = None
            for scenario in found:
                if scenario.name == "slow":
                    delay += float(scenario.params.get("seconds", scenario.params.get("delay", "2")))
                elif delivery is None or scenario.order > delivery.order:
                    delivery = scenario
            for scenario in found:
                if scenario.name == "slow" or scenario is delivery:
                    self._take(scenario)
            return delay, delivery
