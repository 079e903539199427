#!/usr/bin/env bash
# The in-page popup outside Internet Explorer: the ES3 lint of the script library, then the popups in a shop's
# page in headless Chromium (tools/popup-check's pinned npm packages, installed when missing or outdated).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
cd "$root/tools/popup-check"
[ node_modules/.package-lock.json -nt package-lock.json ] || npm ci --no-audit --no-fund --loglevel=error
npm run --silent lint
mkdir -p "$root/build/e2e" && cd "$root/build/e2e"
python3 "$root/scripts/run_checked.py" node popup -- node "$root/tests/e2e/popup/popup.test.mjs"
