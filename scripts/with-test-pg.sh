#!/usr/bin/env bash
# Runs a command with a throw-away PostgreSQL server: when the server binaries are present it
# starts one on 127.0.0.1 (initdb and pg_ctl as the postgres user, fsync off), exports its
# connection string as PRINT_TEST_PG_URL, runs the command, and stops and removes the server on
# exit, also on failure. Without the binaries, or when PRINT_TEST_PG_URL is set already, the
# command runs as it is.
set -uo pipefail

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
pgdir=""
as_pg() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
stop_pg() {
    if [ -n "$pgdir" ] && [ -d "$pgdir" ]; then
        as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -m immediate stop >/dev/null 2>&1
        rm -rf "$pgdir"
    fi
}
trap stop_pg EXIT

if [ -n "$pgbin" ] && [ -x "$pgbin/initdb" ] && [ -z "${PRINT_TEST_PG_URL:-}" ]; then
    pgdir=$(mktemp -d /tmp/print-pg.XXXXXX)
    chmod 755 "$pgdir"
    [ "$(id -u)" -eq 0 ] && chown postgres "$pgdir"
    if as_pg "$pgbin/initdb" -D "$pgdir/data" -U postgres -A trust -E UTF8 --no-locale \
        >"$pgdir/initdb.log" 2>&1; then
        started=""
        for port in $(seq 55432 55452); do
            if as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/server.log" -w -t 30 \
                -o "-c listen_addresses=127.0.0.1 -c port=$port -c fsync=off \
                    -c unix_socket_directories=$pgdir" start >/dev/null 2>&1; then
                started=$port
                break
            fi
        done
        if [ -n "$started" ]; then
            export PRINT_TEST_PG_URL="postgresql://postgres@127.0.0.1:$started/postgres"
            echo "test PostgreSQL server on port $started"
        else
            echo "warning: could not start the test PostgreSQL server; database tests use SQLite only"
            cat "$pgdir/server.log" 2>/dev/null | tail -n 5
        fi
    else
        echo "warning: initdb failed; database tests use SQLite only"
        tail -n 5 "$pgdir/initdb.log"
    fi
fi

"$@"
