#!/usr/bin/env python3
"""Runs one test program and fails it unless it reached its normal end having run its tests.

  run_checked.py gtest NAME -- COMMAND ARGS...   a GoogleTest program, natively or under Wine (COMMAND may be
                                                 scripts/wine-run.sh, with_standin.py ..., anything that passes
                                                 the environment and the working folder on)
  run_checked.py node NAME -- node FILE.mjs      a node:test file run in its own process (no --test)

A program that crashes, is killed, calls exit(0) or ExitProcess(0) halfway, or returns from main before its
summary must not pass because its exit status happens to be 0. So the verdict comes from the framework's own
end-of-run records, not from its text output:
- GoogleTest creates the file named by TEST_PREMATURE_EXIT_FILE when the run starts and deletes it when the run
  ends normally, and writes the XML report named by GTEST_OUTPUT only at that end;
- node:test's JUnit reporter writes its report when the process ends normally.
The run also fails when the report counts no test, or a skipped one (a test that cannot run here fails instead).
Both files are named after NAME in the working folder, which Wine maps for the Windows program too.
"""

import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def verdict(kind, name, status, report, sentinel):
    """The reason the run does not count, or None."""
    if status != 0:
        return f"exit status {status}"
    if sentinel and os.path.exists(sentinel):
        return "did not reach its end (GoogleTest's premature-exit file is still there)"
    if not os.path.exists(report) or os.path.getsize(report) == 0:
        return "did not reach its end (no test report was written)"
    try:
        root = ElementTree.parse(report).getroot()
    except ElementTree.ParseError as error:
        return f"did not reach its end (the test report is cut short: {error})"
    cases = list(root.iter("testcase"))
    skipped = [case.get("name") for case in cases if case.find("skipped") is not None or case.get("result") == "skipped"]
    failed = [case.get("name") for case in cases if case.find("failure") is not None]
    if kind == "gtest":
        cases = [case for case in cases if case.get("status", "run") == "run"]
    if not cases:
        return "ran no test"
    if skipped:
        return f"skipped {len(skipped)} test(s): {', '.join(skipped[:5])}"
    if failed:
        return f"{len(failed)} test(s) failed: {', '.join(failed[:5])}"
    print(f"{name}: {len(cases)} test(s) ran to the end")
    return None


def main(argv):
    if len(argv) < 4 or argv[0] not in ("gtest", "node") or argv[2] != "--":
        raise SystemExit("usage: run_checked.py gtest|node NAME -- COMMAND ARGS...")
    kind, name, command = argv[0], argv[1], argv[3:]
    report = f"{name}.xml"
    sentinel = f"{name}.running" if kind == "gtest" else None
    environment = dict(os.environ)
    for stale in (report, sentinel):
        if stale and os.path.exists(stale):
            os.remove(stale)
    if kind == "gtest":
        environment["TEST_PREMATURE_EXIT_FILE"] = sentinel
        environment["GTEST_OUTPUT"] = f"xml:{report}"
    else:
        command = [command[0], "--test-reporter=tap", "--test-reporter-destination=stdout",
                   "--test-reporter=junit", f"--test-reporter-destination={report}"] + command[1:]
    sys.stdout.flush()
    status = subprocess.call(command, env=environment)
    reason = verdict(kind, name, status, report, sentinel)
    if reason:
        print(f"{name}: FAILED: {reason}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
