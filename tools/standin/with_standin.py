#!/usr/bin/env python3
"""Runs a command with the stand-in service listening on a free port, then stops the service.

  with_standin.py [STANDIN OPTIONS...] [--command-timeout SECONDS] [--keep-log] -- COMMAND ARGS...

The command gets http_proxy=http://127.0.0.1:PORT, QB_STANDIN_PORT=PORT, QB_STANDIN_URL=http://127.0.0.1:PORT/
and QB_STANDIN_LOG=<request log, one JSON line per request>; no_proxy is removed. The exit code is the
command's (128+N when it died of signal N, 124 when --command-timeout ran out, 125 when the stand-in could not
be started). The request log is deleted afterwards unless the command failed, --keep-log was given or --log
named it (its path is printed when it is kept). The service never outlives this script: it is stopped on
every way out, and it stops by itself if this script is killed outright (--exit-with-parent).
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
START_TIMEOUT = 20.0
STOP_GRACE = 5.0


def split_arguments(argv):
    if "--" not in argv:
        raise SystemExit("usage: with_standin.py [standin options] [--command-timeout S] [--keep-log] -- COMMAND ...")
    cut = argv.index("--")
    options, command = argv[:cut], argv[cut + 1 :]
    if not command:
        raise SystemExit("with_standin: no command after --")
    own = {"timeout": None, "keep_log": False}
    passed = []
    i = 0
    while i < len(options):
        if options[i] == "--command-timeout" and i + 1 < len(options):
            own["timeout"] = float(options[i + 1])
            i += 2
        elif options[i].startswith("--command-timeout="):
            own["timeout"] = float(options[i].partition("=")[2])
            i += 1
        elif options[i] == "--keep-log":
            own["keep_log"] = True
            i += 1
        else:
            passed.append(options[i])
            i += 1
    return passed, command, own


def option_value(options, name):
    for i, option in enumerate(options):
        if option == name and i + 1 < len(options):
            return options[i + 1]
        if option.startswith(name + "="):
            return option.partition("=")[2]
    return None


def end_with_parent():
    """In the command's process before it starts: have it sent SIGTERM if this script dies (Linux only), so
    that a wrapper killed outright leaves no test program behind either."""
    try:
        import ctypes

        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # 1 = PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def stop_process(process, first_signal=signal.SIGTERM):
    """Asks a process to end, then kills it if it has not ended within the grace period."""
    if process.poll() is not None:
        return
    try:
        process.send_signal(first_signal)
        process.wait(STOP_GRACE)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    except ProcessLookupError:
        pass


def start_standin(options, folder, log_path):
    port_file = os.path.join(folder, "port")
    arguments = [sys.executable, os.path.join(HERE, "standin.py"), "--port-file", port_file, "--exit-with-parent"]
    if option_value(options, "--host") is None:
        arguments += ["--host", "127.0.0.1"]
    if option_value(options, "--port") is None:
        arguments += ["--port", "0"]
    if option_value(options, "--log") is None:
        arguments += ["--log", log_path]
    server = subprocess.Popen(arguments + options, stdin=subprocess.DEVNULL)
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        if server.poll() is not None:
            return server, None
        try:
            with open(port_file) as f:
                return server, int(f.read().strip())
        except (OSError, ValueError):
            time.sleep(0.02)
    return server, None


def main(argv):
    options, command, own = split_arguments(argv)
    folder = tempfile.mkdtemp(prefix="standin-")
    log_path = option_value(options, "--log") or os.path.join(folder, "requests.jsonl")
    log_named = option_value(options, "--log") is not None
    received = []
    children = []  # the service, then the command

    def on_signal(number, _frame):
        received.append(number)
        if len(children) > 1 and children[-1].poll() is None:
            children[-1].send_signal(number)

    status = 125
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, on_signal)
    try:
        status = run(options, command, own, folder, log_path, received, lambda process: children.append(process))
    finally:
        for process in reversed(children):
            stop_process(process)
        if log_named or not os.path.exists(log_path) or os.path.getsize(log_path) == 0:
            shutil.rmtree(folder, ignore_errors=True)
        elif status != 0 or own["keep_log"]:
            port_file = os.path.join(folder, "port")
            if os.path.exists(port_file):
                os.remove(port_file)
            print("with_standin: request log kept at %s" % log_path, file=sys.stderr)
        else:
            shutil.rmtree(folder, ignore_errors=True)
    return status


def run(options, command, own, folder, log_path, received, started):
    """Starts the service and the command; returns the exit status. Every process started is passed to
    `started` (the caller stops them all, in reverse order)."""
    server, port = start_standin(options, folder, log_path)
    started(server)
    if port is None:
        print("with_standin: the stand-in service did not start", file=sys.stderr)
        return 125
    if received:
        return 128 + received[0]
    environment = dict(os.environ)
    for name in ("no_proxy", "NO_PROXY"):
        environment.pop(name, None)
    environment.update(
        http_proxy="http://127.0.0.1:%d" % port,
        QB_STANDIN_PORT=str(port),
        QB_STANDIN_URL="http://127.0.0.1:%d/" % port,
        QB_STANDIN_LOG=os.path.abspath(log_path),
    )
    try:
        child = subprocess.Popen(command, env=environment, preexec_fn=end_with_parent)
    except OSError as error:
        print("with_standin: cannot run %s: %s" % (command[0], error), file=sys.stderr)
        return 127
    started(child)
    try:
        status = child.wait(own["timeout"])
    except subprocess.TimeoutExpired:
        print("with_standin: %s ran out of time (%gs)" % (command[0], own["timeout"]), file=sys.stderr)
        stop_process(child)
        return 124
    return 128 - status if status < 0 else status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
