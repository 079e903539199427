#!/usr/bin/env bash
# The in-page popup outside Internet Explorer: the ES3 lint of the script library, then the popups put into
# a shop page in headless Chromium. Installs the pinned npm packages (tools/popup-check) when they are
# missing or older than the lock file. Screenshots go to ${QB_E2E_OUT:-build/e2e}.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
tools="$root/tools/popup-check"

installed="$tools/node_modules/.package-lock.json"
if [ ! -f "$installed" ] || [ "$tools/package-lock.json" -nt "$installed" ]; then
    echo "popup: installing the npm packages of tools/popup-check"
    (cd "$tools" && npm ci --no-audit --no-fund --loglevel=error)
fi

export QB_E2E_OUT="${QB_E2E_OUT:-$root/build/e2e}"
(cd "$tools" && npm run --silent lint)
# Each test file runs in a process of its own; a file that ends early or runs no test fails.
for file in resources popup; do
    python3 "$root/scripts/run_checked.py" node "popup-$file" -- node "$root/tests/e2e/popup/$file.test.mjs"
done
