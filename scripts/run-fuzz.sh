#!/usr/bin/env bash
# Runs each libFuzzer target for a short while (FUZZ_SECONDS, default 60) on a copy of its seeds.
# Seeds up to 2 MiB are read whole (libFuzzer would cut them at 1 MiB): one holds a 1.5 MB value.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
for target in definition modify expression layout; do
    work=$(mktemp -d)
    cp -r "$here/fuzz/corpus/$target/." "$work/"
    echo "== fuzz_$target for ${seconds}s"
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=2097152 -print_final_stats=1 \
        "$work"
    rm -rf "$work"
done
