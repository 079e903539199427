#!/usr/bin/env bash
# Runs every benchmark and collects the figures in build/bench/results.json, then prints them as a table
# and refreshes the table in README.md. Each figure is measured against its baseline in the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
results=$root/build/bench/results.json
mkdir -p "$root/build/bench"
rm -f "$results"
export QB_BENCH_RESULTS=$results

echo "== native benchmarks (Release, no sanitizers)"
if [ -x "$root/build/bench/qb_bench_regexp" ]; then
    "$root/build/bench/qb_bench_regexp" --benchmark_min_time=0.05 2>&1 | grep -E "^regexp\." || true
fi
# Seconds per fuzz target: enough for a million executions of each on a busy two-core machine (the parsers of
# whole answers and lists allocate much more per input than the others).
declare -A fuzz_seconds=([regexp]=120 [shoplist]=150 [offers]=200 [replies]=30 [hostfromurl]=20 [htmlescape]=40)
for fuzzer in "$root"/build/bench/qb_fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=${fuzzer##*/qb_fuzz_}
    "$root/scripts/fuzz-budget.sh" "$fuzzer" "${QB_FUZZ_SECONDS:-${fuzz_seconds[$name]:-60}}"
done

echo "== Windows benchmarks under Wine"
win=$root/build/win
run_wine() { "$root/scripts/wine-run.sh" "$@"; }
run_standin() { python3 "$root/tools/standin/with_standin.py" -- "$root/scripts/wine-run.sh" "$@"; }
[ -f "$win/qb_bench_shoplist.exe" ] && run_wine "$win/qb_bench_shoplist.exe"
[ -f "$win/qb_bench_http.exe" ] && run_standin "$win/qb_bench_http.exe"
for extra in "$win"/qb_bench_band.exe "$win"/qb_bench_helper.exe; do
    [ -f "$extra" ] && run_wine "$extra"
done
# The 32-bit build's tab figures, where this machine runs 32-bit programs (scripts/bootstrap.sh).
if [ -x /usr/lib/wine/wine ]; then
    for extra in "$root"/build/win32/qb_bench_band.exe "$root"/build/win32/qb_bench_helper.exe; do
        [ -f "$extra" ] && QB_BENCH_TAG=x86. run_wine "$extra"
    done
else
    echo "no 32-bit Wine here: the 32-bit build's tab figures are not measured"
fi

echo "== the shipped DLLs"
for tree in win win32; do
    dll=$root/build/$tree/Quillbury.dll
    [ -f "$dll" ] || continue
    debug_sections=$(x86_64-w64-mingw32-objdump -h "$dll" | grep -c ' \.debug_' || true)
    python3 - "$results" "$tree" "$(stat -c %s "$dll")" "$(stat -c %s "$dll.debug")" "$debug_sections" <<'EOF'
import json, os, sys
path, tree, shipped, debug, sections = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
bits = "32" if tree == "win32" else "64"
figure = {"name": f"dll.shipped_size_{bits}bit", "value": shipped, "unit": "bytes",
          "baseline": f"with its debug information ({sections} debug sections shipped)",
          "baseline_value": shipped + debug, "ratio": shipped / (shipped + debug), "target": "no debug sections"}
print(f"{figure['name']}: {shipped} bytes, with debug information {shipped + debug}, debug sections shipped: {sections}")
figures = json.load(open(path)) if os.path.exists(path) else []
json.dump(figures + [figure], open(path, "w"), indent=0)
EOF
done

python3 "$root/scripts/bench_table.py" "$results" --readme "$root/README.md"
