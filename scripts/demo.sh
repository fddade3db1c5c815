#!/usr/bin/env bash
# The most complete demonstration that exists so far: the engine shell on a shipped definition.
set -euo pipefail
build=${1:-build/dev}
here=$(cd "$(dirname "$0")/.." && pwd)
printctl="$build/apps/printctl/printctl"
demo="$here/apps/printctl/demo"

echo "== printctl dw d_demo_bill (commands from $demo/d_demo_bill.cmd)"
"$printctl" dw d_demo_bill --defs "$demo" <"$demo/d_demo_bill.cmd"
