#!/bin/bash
# A throwaway CardDAV server (Debian's Radicale) for the sync tests, on the
# loopback only, with its collections in DIR.
#
#   tests/radicale/radicale.sh start DIR   start it on a free port of 127.0.0.1
#   tests/radicale/radicale.sh stop DIR    stop it and remove DIR
#
# One user, "ann", logs in with HTTP Basic against an htpasswd file of
# MD5-APR1 hashes (Radicale's default method; bcrypt would need python3-bcrypt).
# Her password is random. What a test needs is written beside the server:
#   DIR/url       the server's root, http://127.0.0.1:PORT/
#   DIR/user      ann
#   DIR/password  her password
set -euo pipefail
command=$1
dir=$2

stop_server() {
    if [ -f "$dir/pid" ]; then
        local pid
        pid=$(cat "$dir/pid")
        kill "$pid" 2>/dev/null || true
        # Radicale ends its requests and exits; wait for the process itself.
        while kill -0 "$pid" 2>/dev/null; do
            tail --pid="$pid" -f /dev/null
        done
    fi
}

case $command in
start)
    stop_server
    rm -rf "$dir"
    mkdir -p "$dir/collections"
    # Radicale runs on Debian's own Python, whatever python3 is first on the path.
    port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    password=$(openssl rand -hex 12)
    printf 'ann:%s\n' "$(openssl passwd -apr1 "$password")" >"$dir/users"
    cat >"$dir/config" <<CONFIG
[server]
hosts = 127.0.0.1:$port
[auth]
type = htpasswd
htpasswd_filename = $dir/users
htpasswd_encryption = md5
delay = 0
[rights]
type = owner_only
[storage]
filesystem_folder = $dir/collections
[web]
type = none
[logging]
level = info
CONFIG
    setsid /usr/bin/radicale --config "$dir/config" >"$dir/radicale.log" 2>&1 &
    echo $! >"$dir/pid"
    # Poll until it answers (any HTTP status) or the process has gone.
    for _ in $(seq 1 600); do
        code=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/" || true)
        if [ "$code" != 000 ]; then
            echo "http://127.0.0.1:$port/" >"$dir/url"
            echo ann >"$dir/user"
            echo "$password" >"$dir/password"
            exit 0
        fi
        if ! kill -0 "$(cat "$dir/pid")" 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    echo "radicale did not start:" >&2
    cat "$dir/radicale.log" >&2
    stop_server
    exit 1
    ;;
stop)
    stop_server
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
