#!/usr/bin/env bash
# The road of a shop visit end to end, around one stand-in service: the Windows half (the registered DLL in
# the test browser host under Wine: band, helper object, main worker, timer, shop page, popup) writes the
# changed pages to ${QB_E2E_OUT}; the Chromium half (click.mjs) loads them, clicks the popup's link and
# checks the redirect request that reached the service.
#   run.sh PATH/TO/qb_shoproad_tests.exe
# Installs the pinned npm packages of tools/popup-check when they are missing or older than the lock file.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 qb_shoproad_tests.exe" >&2
    exit 2
fi
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
tools="$root/tools/popup-check"

installed="$tools/node_modules/.package-lock.json"
if [ ! -f "$installed" ] || [ "$tools/package-lock.json" -nt "$installed" ]; then
    echo "shop road: installing the npm packages of tools/popup-check"
    (cd "$tools" && npm ci --no-audit --no-fund --loglevel=error)
fi

export QB_E2E_OUT="${QB_E2E_OUT:-$(dirname "$program")/e2e}"
mkdir -p "$QB_E2E_OUT"
rm -f "$QB_E2E_OUT"/shoproad*-captured.html

# Both halves share the stand-in (its log holds the redirect request); the Chromium half runs only when
# the Windows half passed. The whole road must end well within the ctest timeout.
exec python3 "$root/tools/standin/with_standin.py" --command-timeout 240 -- \
    bash -c '"$1" gtest shop-road -- "$2" "$3" && node "$4"' shop-road "$root/scripts/run_checked.py" \
    "$root/scripts/wine-run.sh" "$program" "$root/tests/e2e/shoproad/click.mjs"
