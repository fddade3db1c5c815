#!/usr/bin/env bash
# Runs the whole suite with ctest, with a throw-away PostgreSQL server for the database tests.
set -uo pipefail
build=${1:-build/dev}
here=$(cd "$(dirname "$0")" && pwd)
"$here/with-test-pg.sh" ctest --test-dir "$build" --output-on-failure -j2
