#!/usr/bin/env bash
# The whole demonstration: the demo database of a retail chain, its library file, the engine
# shell retrieving real bills and a 100,000-row report, those reports drawn into PDF and PNG files
# under out/ and printed through the print window, then the demo host: its window when there is
# a display, else its screenshots and printed bills under out/screenshots.
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

out="$here/out"
mkdir -p "$out"
echo
echo "== printctl render: the sales report's 100,000 rows, laid out and drawn"
sqlite3 -header -separator $'\t' "$db" \
    "SELECT s.saledate, s.storeid, st.storename, s.goodsid, g.goodsname, g.category, s.qty,
            s.amount, s.cost FROM T_DEMO_SALE s JOIN T_DEMO_STORE st ON st.storeid = s.storeid
     JOIN T_DEMO_GOODS g ON g.goodsid = s.goodsid ORDER BY s.saledate, s.storeid, s.saleid" \
    >"$build/sales_rows.tsv"
time "$printctl" render d_demo_sale_report --lib "$lib" --rows "$build/sales_rows.tsv" \
    --pdf "$out/sales_report.pdf"
"$printctl" render d_demo_sale_report --lib "$lib" --rows "$build/sales_rows.tsv" --page 1 \
    --png-dir "$out/sales_report_png" --dpi 100 >/dev/null

echo
echo "== printctl render: the receiving bill d_demo_bill"
"$printctl" render d_demo_bill --defs "$demo" --pdf "$out/demo_bill.pdf" \
    --png-dir "$out/demo_bill_png" --dpi 100

echo
echo "== printctl print: purchase order 305 through the print window, printed to a PDF"
rm -f "$out/order_305.pdf"
"$printctl" print --db "sqlite:$db" --lib "$build/demo-print.plib" --operator 0001 --bill 305 \
    --header "$defs/d_demo_order_head.srd" --detail "$defs/d_demo_order_detail.srd" \
    --arg billid=305 --arg billno=DH20240318001 --pdf "$out/order_305.pdf"

demo_host="$build/apps/print-demo/print-demo"
if [ -x "$demo_host" ]; then
    echo
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "== print-demo: the demo host on $db (close its window to end)"
        "$demo_host" --db "sqlite:$db" --lib "$build/demo-host.plib"
    else
        echo "== print-demo without a display: its windows drawn and its bills printed"
        # On a screen of 1366x768, the smallest the windows are made for.
        QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen:configfile=$here/tests/apps/data/screen-1366x768.json}" \
        "$demo_host" --db "sqlite:$db" --lib "$build/demo-host.plib" --screenshots "$out/screenshots"
    fi
fi

echo
echo "== the pages are in $out:"
echo "   $out/sales_report.pdf (every page) and $out/sales_report_png/ (page 1)"
echo "   $out/demo_bill.pdf and $out/demo_bill_png/"
echo "   $out/order_305.pdf (printed through printctl print)"
if [ -d "$out/screenshots" ]; then
    echo "   $out/screenshots/ (the demo host and the print window: preview, selection, settings;"
    echo "   the demo bills and the sales report as the print window prints them)"
fi
