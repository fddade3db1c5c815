#!/usr/bin/env bash
# The most complete demonstration so far: the demo database of a retail chain, its library file
# and the engine shell retrieving real bills and a 100,000-row report through the engine.
set -euo pipefail
build=${1:-build/dev}
here=$(cd "$(dirname "$0")/.." && pwd)
printctl="$build/apps/printctl/printctl"
demo="$here/apps/printctl/demo"
defs="$here/apps/demo_data/defs"
db="$build/demo.db"
lib="$build/demo.plib"

echo "== printctl db init --demo (a SQLite demo database in $db)"
if [ ! -f "$db" ]; then
    "$printctl" db init --url "sqlite:$db" --demo | tail -n 3
else
    "$printctl" db init --url "sqlite:$db"
fi

echo
echo "== printctl lib: the demo definitions in the library file $lib"
rm -f "$lib"
for f in "$defs"/*.srd; do
    "$printctl" lib import "$lib" "$(basename "$f" .srd)" "$f"
done
"$printctl" lib ls "$lib"

echo
echo "== printctl dw d_demo_bill: a receiving bill with stored rows (commands: $demo/d_demo_bill.cmd)"
"$printctl" dw d_demo_bill --defs "$demo" <"$demo/d_demo_bill.cmd"

echo
echo "== printctl dw d_demo_order_detail: purchase order 305 from the database"
"$printctl" dw d_demo_order_detail --lib "$lib" --url "sqlite:$db" <"$demo/order_305.cmd"

echo
echo "== printctl dw d_demo_sale_report: the year's sales report (100,000 rows)"
time "$printctl" dw d_demo_sale_report --lib "$lib" --url "sqlite:$db" <"$demo/sales_report.cmd"
