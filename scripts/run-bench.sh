#!/usr/bin/env bash
# Runs every benchmark program of a release build; the database benchmark gets a throw-away
# PostgreSQL server so that both back ends are measured.
set -euo pipefail
build=${1:-build/release}
here=$(cd "$(dirname "$0")" && pwd)
for b in "$build"/bench/*_bench; do
    echo "== $b"
    "$here/with-test-pg.sh" "$b" --benchmark_counters_tabular=true
done
