#!/bin/bash
# A throwaway CardDAV server (Debian's Radicale) for the sync tests, on the
# loopback only, in DIR.
#
#   tests/radicale/radicale.sh start DIR   start it on free ports of 127.0.0.1
#   tests/radicale/radicale.sh stop DIR    stop it and remove DIR
#   tests/radicale/radicale.sh kill DIR    kill it at once (a server that goes away), keeping DIR
#   tests/radicale/radicale.sh resume DIR  start it again on the same ports and collections
#
# Two instances: one in plain HTTP, and one in HTTPS with a certificate for
# "localhost" signed by a certificate authority of its own, which no system
# trusts. One user, "ann", logs in with HTTP Basic against an htpasswd file of
# MD5-APR1 hashes (Radicale's default method; bcrypt would need python3-bcrypt).
# Her password is random. What a test needs is written beside the servers:
#   DIR/url       the plain server's root, http://127.0.0.1:PORT/
#   DIR/tls-url   the other's, https://localhost:PORT/
#   DIR/ca.crt    the authority that signed its certificate
#   DIR/user      ann
#   DIR/password  her password
set -euo pipefail
command=$1
dir=$2

stop_servers() {
    local pidfile pid
    for pidfile in "$dir"/*.pid; do
        [ -f "$pidfile" ] || continue
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null || true
        # Radicale ends its requests and exits; wait for the process itself.
        tail --pid="$pid" -f /dev/null
    done
}

# A CA and a server certificate signed by it, for "localhost" only.
make_certificates() {
    printf 'subjectAltName = DNS:localhost\n' >"$dir/server.ext"
    if ! { openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
        -subj /CN=vantrel-test-ca -keyout "$dir/ca.key" -out "$dir/ca.crt" &&
        openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
            -subj /CN=localhost -keyout "$dir/server.key" -out "$dir/server.csr" &&
        openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.crt" -CAkey "$dir/ca.key" -CAcreateserial \
            -days 2 -extfile "$dir/server.ext" -out "$dir/server.crt"; } >"$dir/openssl.log" 2>&1; then
        cat "$dir/openssl.log" >&2
        exit 1
    fi
}

# launch NAME: Radicale on its config; returns once it says it listens (its
# output goes on to its log through the same pipe), or fails when it ends
# before. ctest's time limit bounds a server that does neither.
launch() {
    local name=$1 said=""
    local log="$dir/$name.log" ready="$dir/$name.ready"
    rm -f "$ready"
    mkfifo "$ready"
    {
        setsid sh -c 'echo $$ >"$1"; exec /usr/bin/radicale --config "$2"' sh "$dir/$name.pid" "$dir/$name.config" 2>&1 |
            tee -a "$log" | { grep -q -m1 "Listening on" && echo listening; cat >/dev/null; } >"$ready"
    } </dev/null >/dev/null 2>>"$log" &
    read -r said <"$ready" || true
    rm -f "$ready"
    [ "$said" = listening ] && return 0
    echo "radicale ($name) did not start:" >&2
    cat "$log" >&2
    return 1
}

# start_server NAME SSL: Radicale with its collections in DIR/NAME, waited for
# until it listens; its port in $started_port (not printed: a command
# substitution would wait for the server's pipe to close).
start_server() {
    local name=$1 ssl=$2 port
    # Radicale runs on Debian's own Python, whatever python3 is first on the path.
    port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    mkdir -p "$dir/$name"
    cat >"$dir/$name.config" <<CONFIG
[server]
hosts = 127.0.0.1:$port
ssl = $ssl
certificate = $dir/server.crt
key = $dir/server.key
[auth]
type = htpasswd
htpasswd_filename = $dir/users
htpasswd_encryption = md5
delay = 0
[rights]
type = owner_only
[storage]
filesystem_folder = $dir/$name
[web]
type = none
[logging]
level = info
CONFIG
    launch "$name" || return 1
    started_port=$port
}

case $command in
start)
    stop_servers
    rm -rf "$dir"
    mkdir -p "$dir"
    make_certificates
    password=$(openssl rand -hex 12)
    printf 'ann:%s\n' "$(openssl passwd -apr1 "$password")" >"$dir/users"
    if ! start_server plain False || ! plain=$started_port || ! start_server tls True || ! tls=$started_port; then
        stop_servers
        exit 1
    fi
    echo "http://127.0.0.1:$plain/" >"$dir/url"
    echo "https://localhost:$tls/" >"$dir/tls-url"
    echo ann >"$dir/user"
    echo "$password" >"$dir/password"
    ;;
stop)
    stop_servers
    rm -rf "$dir"
    ;;
kill)
    for pidfile in "$dir"/*.pid; do
        kill -9 "$(cat "$pidfile")" 2>/dev/null || true
        tail --pid="$(cat "$pidfile")" -f /dev/null
    done
    ;;
resume)
    launch plain
    launch tls
    ;;
*)
    echo "usage: $0 start|stop|kill|resume DIR" >&2
    exit 2
    ;;
esac
