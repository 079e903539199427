#!/usr/bin/env bash
# Runs one libFuzzer target for a fixed time budget and records how many inputs it executed.
set -euo pipefail
fuzzer=$1
seconds=${2:-60}
name=$(basename "$fuzzer")
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(mktemp -d)
seeds=$root/tests/fuzz/corpus/${name#qb_fuzz_}
log=$(mktemp)
# A small quarantine of freed blocks (with the default, nearly every allocation lands on memory the system must
# fault in anew), and more turns for the inputs that run fast.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=4}
"$fuzzer" -print_final_stats=1 -entropic_scale_per_exec_time=1 -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=8192 "$corpus" \
    $( [ -d "$seeds" ] && echo "$seeds" ) >"$log" 2>&1 || { tail -40 "$log"; rm -rf "$corpus" "$log"; exit 1; }
runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1 || true)
[ -n "$runs" ] || runs=$(grep -o '#[0-9]*' "$log" | tail -1 | tr -d '#' || true)
rm -rf "$corpus" "$log"
echo "$name: $runs executions in ${seconds}s, no crash"
python3 - "$name" "$runs" "$seconds" <<'PY'
import json, os, sys
name, runs, seconds = sys.argv[1], int(sys.argv[2] or 0), int(sys.argv[3])
path = os.environ.get("QB_BENCH_RESULTS")
if path:
    data = json.load(open(path)) if os.path.exists(path) else []
    data.append({"name": f"fuzz.{name}", "value": runs, "unit": "executions", "baseline": "time budget (s)",
                 "baseline_value": seconds, "ratio": runs / max(seconds, 1), "target": "no crash, leak or hang"})
    json.dump(data, open(path, "w"), indent=1)
PY
