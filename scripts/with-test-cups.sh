#!/usr/bin/env bash
# Runs a command with a throw-away CUPS server holding one PDF printer (cups-pdf): when cupsd and
# the cups-pdf backend are present and we are root, it starts a scheduler of its own on
# 127.0.0.1 with its own spool and state folders, adds the queue, and exports CUPS_SERVER,
# PRINT_TEST_CUPS_PRINTER (the queue) and PRINT_TEST_CUPS_OUT (where its PDFs land). On exit,
# also on failure, the queue, its configuration and the scheduler go away. Without them, or
# when PRINT_TEST_CUPS_PRINTER is set already, the command runs as it is and the printer tests
# are skipped.
set -uo pipefail

cupsdir=""
queue=""
cupspid=""
stop_cups() {
    if [ -n "$queue" ]; then
        lpadmin -x "$queue" >/dev/null 2>&1
        rm -f "/etc/cups/cups-pdf-$queue.conf"
    fi
    if [ -n "$cupspid" ]; then
        kill "$cupspid" 2>/dev/null
        wait "$cupspid" 2>/dev/null
    fi
    [ -n "$cupsdir" ] && rm -rf "$cupsdir"
}
trap stop_cups EXIT

ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
if [ -z "${PRINT_TEST_CUPS_PRINTER:-}" ] && [ "$(id -u)" -eq 0 ] && command -v cupsd >/dev/null &&
    command -v lpadmin >/dev/null && [ -x /usr/lib/cups/backend/cups-pdf ] && [ -f "$ppd" ]; then
    cupsdir=$(mktemp -d /tmp/print-cups.XXXXXX)
    chmod 755 "$cupsdir"
    mkdir -p "$cupsdir"/{spool,tmp,cache,state,log,out}
    chmod 1777 "$cupsdir/tmp" "$cupsdir/out"
    started=""
    for port in $(seq 56631 56650); do
        cat >"$cupsdir/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Location /admin>
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order allow,deny
    Allow 127.0.0.1
  </Limit>
</Policy>
CONF
        cat >"$cupsdir/cups-files.conf" <<CONF
ServerRoot $cupsdir
RequestRoot $cupsdir/spool
TempDir $cupsdir/tmp
CacheDir $cupsdir/cache
StateDir $cupsdir/state
AccessLog $cupsdir/log/access_log
ErrorLog $cupsdir/log/error_log
PageLog $cupsdir/log/page_log
User lp
Group lp
SystemGroup root
FileDevice No
CONF
        cupsd -f -c "$cupsdir/cupsd.conf" -s "$cupsdir/cups-files.conf" \
            >"$cupsdir/log/cupsd.out" 2>&1 &
        cupspid=$!
        for _ in $(seq 1 50); do
            if CUPS_SERVER=127.0.0.1:$port lpstat -r 2>/dev/null | grep -q "is running"; then
                started=$port
                break
            fi
            kill -0 "$cupspid" 2>/dev/null || break
            sleep 0.1
        done
        [ -n "$started" ] && break
        kill "$cupspid" 2>/dev/null
        wait "$cupspid" 2>/dev/null
        cupspid=""
    done
    if [ -n "$started" ]; then
        export CUPS_SERVER=127.0.0.1:$started
        queue="print-test-$$"
        # cups-pdf reads the configuration named after its device URI's path.
        cat >"/etc/cups/cups-pdf-$queue.conf" <<CONF
Out $cupsdir/out
AnonDirName $cupsdir/out
UserUMask 0000
Label 0
CONF
        if lpadmin -p "$queue" -E -v "cups-pdf:/$queue" -P "$ppd" >"$cupsdir/log/lpadmin" 2>&1; then
            export PRINT_TEST_CUPS_PRINTER=$queue PRINT_TEST_CUPS_OUT=$cupsdir/out
            echo "test CUPS server on port $started with the PDF printer $queue"
        else
            echo "warning: could not add the test printer; printer tests are skipped"
            cat "$cupsdir/log/lpadmin"
        fi
    else
        echo "warning: could not start the test CUPS server; printer tests are skipped"
        tail -n 5 "$cupsdir/log/cupsd.out" "$cupsdir/log/error_log" 2>/dev/null
    fi
fi

"$@"
