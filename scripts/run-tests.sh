#!/usr/bin/env bash
# Runs the whole suite with ctest, with a throw-away PostgreSQL server for the database tests
# and a throw-away CUPS server with a PDF printer for the printing tests.
set -uo pipefail
build=${1:-build/dev}
here=$(cd "$(dirname "$0")" && pwd)
# A sanitizer build stops at its first finding, so that the test that met it fails; the leak
# checker leaves out what system libraries keep until the process ends.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/../tests/lsan.supp:print_suppressions=0}
"$here/with-test-pg.sh" "$here/with-test-cups.sh" ctest --test-dir "$build" --output-on-failure -j2
