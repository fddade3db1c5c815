#!/usr/bin/env bash
# Runs every benchmark program of a release build.
set -euo pipefail
build=${1:-build/release}
for b in "$build"/bench/*_bench; do
    echo "== $b"
    "$b" --benchmark_counters_tabular=true
done
