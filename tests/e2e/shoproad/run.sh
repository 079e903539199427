#!/usr/bin/env bash
# A shop visit end to end around one stand-in: the Windows half (qb_shoproad_tests.exe, the first argument)
# captures the pages into ${QB_E2E_OUT}, then the Chromium half (click.mjs) clicks their popups.
set -euo pipefail
program=$(realpath "$1")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
[ "$root/tools/popup-check/node_modules/.package-lock.json" -nt "$root/tools/popup-check/package-lock.json" ] ||
    (cd "$root/tools/popup-check" && npm ci --no-audit --no-fund --loglevel=error)
mkdir -p "${QB_E2E_OUT:=$(dirname "$program")/e2e}" && cd "$QB_E2E_OUT" && rm -f shoproad*-captured.html
exec python3 "$root/tools/standin/with_standin.py" --command-timeout 240 -- bash -c \
    '"$1" gtest shop-road -- "$2" "$3" && "$1" node shop-road-click -- node "$4"' - "$root/scripts/run_checked.py" \
    "$root/scripts/wine-run.sh" "$program" "$root/tests/e2e/shoproad/click.mjs"
