#!/bin/bash
# A throwaway PostgreSQL cluster for the tests, listening only on a Unix socket
# in its own folder (no TCP port).
#
#   tests/postgres/pg-cluster.sh start DIR    initdb into DIR, start the server
#   tests/postgres/pg-cluster.sh start-tls DIR
#       the same, and also TLS on the loopback only: a certificate authority of
#       its own (DIR/tls/ca.crt) signs the server's certificate for "localhost";
#       the port it found free is in DIR/port. Only TLS connections are let in
#       over TCP (hostssl), so one in plain text is refused.
#   tests/postgres/pg-cluster.sh stop DIR     stop it and remove DIR
#
# The superuser is "vantrel" (trusted on the socket); the role "clerk" must give
# its password (scram-sha-256), for the tests of password files, and so must
# every account of a book (members of vantrel_people), as in an office. PostgreSQL
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

# A CA and a server certificate signed by it, for "localhost" only.
make_certificates() {
    local tls=$1
    mkdir -p "$tls"
    printf 'subjectAltName = DNS:localhost\n' >"$tls/server.ext"
    if ! { openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
        -subj /CN=vantrel-test-ca -keyout "$tls/ca.key" -out "$tls/ca.crt" &&
        openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
            -subj /CN=localhost -keyout "$tls/server.key" -out "$tls/server.csr" &&
        openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.crt" -CAkey "$tls/ca.key" -CAcreateserial \
            -days 2 -extfile "$tls/server.ext" -out "$tls/server.crt"; } >"$tls/openssl.log" 2>&1; then
        cat "$tls/openssl.log" >&2
        exit 1
    fi
    chmod 600 "$tls/server.key"
    [ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$tls"
}

case $command in
start | start-tls)
    [ -d "$dir/data" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    mkdir -p "$dir"
    [ "$(id -u)" -ne 0 ] || chown 65534:65534 "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U vantrel --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log"
    printf 'local all clerk scram-sha-256\nlocal all +vantrel_people scram-sha-256\nlocal all all trust\n' >"$dir/pg_hba.conf"
    [ "$(id -u)" -ne 0 ] || chown 65534:65534 "$dir/pg_hba.conf"
    printf "listen_addresses = ''\nunix_socket_directories = '%s'\nhba_file = '%s/pg_hba.conf'\nmax_connections = 120\n" \
        "$dir" "$dir" >>"$dir/data/postgresql.conf"
    if [ "$command" = start ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null
        exit 0
    fi
    make_certificates "$dir/tls"
    printf 'hostssl all all 127.0.0.1/32 trust\n' >>"$dir/pg_hba.conf"
    printf "listen_addresses = '127.0.0.1'\nssl = on\nssl_cert_file = '%s/tls/server.crt'\nssl_key_file = '%s/tls/server.key'\n" \
        "$dir" "$dir" >>"$dir/data/postgresql.conf"
    # Other clusters of the machine may hold a port: try a few at random.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        port=$((20000 + RANDOM % 40000))
        echo "port = $port" >>"$dir/data/postgresql.conf" # the last line counts
        if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null; then
            echo "$port" >"$dir/port"
            exit 0
        fi
    done
    echo "no free port for the TLS cluster" >&2
    exit 1
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
    echo "usage: $0 start|start-tls|stop|restart|kill|resume DIR" >&2
    exit 2
    ;;
esac
