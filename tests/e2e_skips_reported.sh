#!/usr/bin/env bash
# The tests that need the real MoonScript compiler are listed by ctest as skipped, not
# passed, where there is none: a gtest case that calls GTEST_SKIP exits 0 like a pass and is
# told apart only by gtest's skip line; the end-to-end script exits 77. Read from the tests
# that ctest has registered in this build folder.
#   bash e2e_skips_reported.sh <build dir> <source dir>
set -uo pipefail
build="$(cd "$1" && pwd)"
src="$(cd "$2" && pwd)"
. "$src/tests/support/e2e_lib.sh"

listing="$(mktemp "${TMPDIR:-/tmp}"/velk-e2e-skips-XXXXXX)"
trap 'rm -f "$listing"' EXIT
(cd "$build" && ctest --show-only=json-v1) >"$listing" 2>/dev/null
expect "ctest lists the tests" 0 "$?"
# One line per test: its name and whether ctest skips it on the output or the exit code
# that it gives when skipped.
verdicts=$(python3 - "$listing" <<'EOF'
import json, re, sys
for test in json.load(open(sys.argv[1]))["tests"]:
    props = {p["name"]: p["value"] for p in test.get("properties", [])}
    name = test["name"]
    if name.startswith("e2e_"):
        print(name, "code", props.get("SKIP_RETURN_CODE", "none"))
    elif "." in name:  # a discovered gtest case
        regexes = props.get("SKIP_REGULAR_EXPRESSION", [])
        regexes = regexes if isinstance(regexes, list) else [regexes]
        skip = any(re.search(r, "[  SKIPPED ] %s (0 ms)" % name) for r in regexes)
        ok = any(re.search(r, "[       OK ] %s (0 ms)" % name) for r in regexes)
        print(name, "line", "skips" if skip and not ok else "passes")
EOF
)
line() { awk -v n="$1" '$1 == n {print $2, $3}' <<<"$verdicts"; }
# The two cases of the script host's reference examples that need the real compiler.
expect "Hello world in velkRun: skipped by gtest's line" "line skips" \
    "$(line DemoScriptTest.ReferenceHelloWorldInVelkRunOnlyInMoonScript)"
expect "MoonScript example: skipped by gtest's line" "line skips" \
    "$(line DemoScriptTest.ReferenceMoonScriptExampleExportsItsCallbacks)"
expect "velkRun end to end: skipped on 77" "code 77" "$(line e2e_velkrun)"

echo "$failures failed"
[ "$failures" -eq 0 ]
