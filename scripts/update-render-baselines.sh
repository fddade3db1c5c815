#!/usr/bin/env bash
# Draws the render tests' baseline pages anew into tests/render/baselines. Look at every PNG that
# changed before committing it: a baseline is only as good as the page it shows.
set -euo pipefail
build=${1:-build/dev}
PRINT_UPDATE_BASELINES=1 QT_QPA_PLATFORM=offscreen "$build/tests/render/render_tests" \
    --gtest_filter='*Baseline*:Frames.*'
git -C "$(dirname "$0")/.." status --short tests/render/baselines
