#!/usr/bin/env bash
# Builds and tests everything, from a fresh Debian machine on: installs what is missing, builds
# the native core (plain and under AddressSanitizer/UndefinedBehaviorSanitizer), the Windows build
# and the fuzz targets, runs the native tests, the Windows tests under Wine, a short run of each
# fuzz target over its seeds, the benchmarks and the static analysis, and ends with the totals.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
presets=(native native-asan windows fuzz)
for preset in "${presets[@]}"; do
    echo "=== building $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
done

passed=0
failed=0
status=0
summaries=()
for preset in "${presets[@]}"; do
    echo "=== testing $preset"
    log=build/$preset/ctest-summary.log
    set +e
    ctest --preset "$preset" -j"$jobs" 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    set -e
    [ "$rc" -eq 0 ] || status=1
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [ -z "$line" ]; then
        summaries+=("$preset: no test summary")
        status=1
        continue
    fi
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    summaries+=("$preset: $line")
done

echo "=== time limits"
# Every test has a time limit of its own, so that a test that hangs fails the run instead of
# holding it up.
for preset in "${presets[@]}"; do
    untimed=$(ctest --preset "$preset" --show-only=json-v1 2>/dev/null | python3 -c '
import json, sys
tests = json.load(sys.stdin)["tests"]
untimed = [t["name"] for t in tests if not any(p["name"] == "TIMEOUT" for p in t.get("properties", []))]
for line in untimed if tests else ["(no tests listed)"]:
    print(line)
' || echo "(the list of tests could not be read)")
    if [ -z "$untimed" ]; then
        passed=$((passed + 1))
        summaries+=("time limits: every $preset test has one")
    else
        echo "tests of $preset without a TIMEOUT:"
        sed 's/^/    /' <<<"$untimed"
        failed=$((failed + 1))
        status=1
        summaries+=("time limits: $preset has tests without one")
    fi
done

echo "=== static analysis"
for tool in clang-tidy cppcheck; do
    if bash scripts/static-analysis.sh "$tool"; then
        passed=$((passed + 1))
        summaries+=("static analysis: $tool clean")
    else
        failed=$((failed + 1))
        status=1
        summaries+=("static analysis: $tool has findings")
    fi
done

echo "=== benchmark figures"
cat build/windows/benchmarks/*.txt 2>/dev/null || echo "no benchmark figures"

echo "=== summary"
printf '%s\n' "${summaries[@]}"
echo "$passed passed, $failed failed"
exit "$status"
