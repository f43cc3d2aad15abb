#!/bin/bash
# A throwaway PostgreSQL cluster for the tests, listening only on a Unix socket
# in its own folder (no TCP port).
#
#   tests/postgres/pg-cluster.sh start DIR    initdb into DIR, start the server
#   tests/postgres/pg-cluster.sh stop DIR     stop it and remove DIR
#
# The superuser is "vantrel" (trusted on the socket); the role "clerk" must give
# its password (scram-sha-256), for the tests of password files. PostgreSQL
# refuses to run as root, so as root the cluster belongs to an ordinary user.
set -euo pipefail
command=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
    else
        "$@"
    fi
}

case $command in
start)
    [ -d "$dir/data" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    mkdir -p "$dir"
    [ "$(id -u)" -ne 0 ] || chown 65534:65534 "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U vantrel --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log"
    printf 'local all clerk scram-sha-256\nlocal all all trust\n' >"$dir/pg_hba.conf"
    [ "$(id -u)" -ne 0 ] || chown 65534:65534 "$dir/pg_hba.conf"
    printf "listen_addresses = ''\nunix_socket_directories = '%s'\nhba_file = '%s/pg_hba.conf'\nmax_connections = 120\n" \
        "$dir" "$dir" >>"$dir/data/postgresql.conf"
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null
    ;;
stop)
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
restart | kill)
    # A server that stops (at once, as a crash would) and comes back.
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null
    [ "$command" = kill ] || as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null
    ;;
resume)
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null
    ;;
*)
    echo "usage: $0 start|stop|restart|kill|resume DIR" >&2
    exit 2
    ;;
esac
