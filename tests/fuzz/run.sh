#!/usr/bin/env bash
# Builds the libFuzzer targets with the "fuzz" preset and runs each for a fixed number of inputs.
# Usage: tests/fuzz/run.sh [runs]   (default 20000; ORVELANE_FUZZ_RUNS works too)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
runs=${1:-${ORVELANE_FUZZ_RUNS:-20000}}
targets=(loadoptions gamepath)

cd "$root"
cmake --preset fuzz
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"

# A failing input is kept here for replay: build/fuzz/tests/fuzz/fuzz_<target> <file>
artifacts="$root/build/fuzz/artifacts/"

for target in "${targets[@]}"; do
    # New inputs go to a scratch corpus in the build tree; the committed seeds stay as they are.
    work="$root/build/fuzz/corpus/$target"
    mkdir -p "$work" "$artifacts"
    echo "== fuzz_$target: $runs runs"
    "$root/build/fuzz/tests/fuzz/fuzz_$target" -runs="$runs" -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$work" "$root/tests/fuzz/corpus/$target"
done
