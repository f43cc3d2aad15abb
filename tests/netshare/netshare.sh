#!/bin/bash
# A book on a real network file system: a folder of this computer served by an
# sshd of our own on the loopback and mounted with sshfs. vantrel and
# vantrel-exchange must refuse to open it for writing and leave it exactly as
# it was; the same program folder copied to the local disk must open.
#
#   tests/netshare/netshare.sh BUILD_DIR
#
# Runs as root (sshd, the FUSE mount); needs openssh-server, openssh-client,
# sshfs, fuse3 and sqlite3. Nothing under /etc/ssh is read or changed.
set -uo pipefail

NETSHARE_TIMEOUT=${NETSHARE_TIMEOUT:-20}
failures=0
log() { printf '%s\n' "$*" >&2; }
fail() { log "FAIL: $*"; failures=$((failures + 1)); }
die() { log "FAIL: $*"; exit 1; }

[ $# -eq 1 ] || die "usage: $0 BUILD_DIR"
build=$(cd "$1" && pwd) || die "no build folder $1"
for f in vantrel vantrel-exchange tools/vantrel-createdb; do
    [ -x "$build/$f" ] || die "$build/$f is not built"
done
[ "$(id -u)" -eq 0 ] || die "must run as root: it starts sshd and mounts a FUSE file system"
[ -c /dev/fuse ] || die "no /dev/fuse on this machine"
for tool in /usr/sbin/sshd ssh ssh-keygen sshfs fusermount3 sqlite3 sha256sum; do
    command -v "$tool" >/dev/null || die "$tool is missing (scripts/install-deps.sh installs it)"
done

work=$(mktemp -d)
served=$work/served # what the server holds: the truth, read without going through the mount
share=$work/share   # the same folder, mounted over sshfs
local_copy=$work/local
mkdir -p "$served" "$share"
# Qt wants a private runtime folder; without one it warns on stderr.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
made_privsep=""
sshd_pid=""
program_pid=""

cleanup() {
    if [ -n "$program_pid" ]; then
        kill -KILL "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
    fi
    if mountpoint -q "$share"; then
        fusermount3 -u "$share" 2>/dev/null || umount -l "$share" || log "could not unmount $share"
    fi
    if [ -n "$sshd_pid" ]; then
        # The session ends with the mount; stopped before, it would outlive its server.
        poll "the ssh session to end" no_session >/dev/null 2>&1
        kill "$sshd_pid" 2>/dev/null
        wait "$sshd_pid" 2>/dev/null
    fi
    [ -n "$made_privsep" ] && rmdir /run/sshd 2>/dev/null
    # Never remove through a mount that is still there.
    mountpoint -q "$share" || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# poll DESCRIPTION COMMAND [ARGS]: runs COMMAND until it succeeds, for at most NETSHARE_TIMEOUT seconds.
poll() {
    local what=$1 deadline=$((SECONDS + NETSHARE_TIMEOUT))
    shift
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            log "timed out waiting for $what"
            return 1
        fi
        sleep 0.05
    done
}

# --- the server and the mount ----------------------------------------------

ssh-keygen -q -t ed25519 -N '' -C netshare-host -f "$work/host_key" || die "ssh-keygen (host key)"
ssh-keygen -q -t ed25519 -N '' -C netshare-client -f "$work/client_key" || die "ssh-keygen (client key)"
cp "$work/client_key.pub" "$work/authorized_keys"
ssh_options=(-o "IdentityFile=$work/client_key" -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null
             -o BatchMode=yes -o ConnectTimeout=5 -o LogLevel=ERROR)

# sshd insists on its privilege separation folder, which only the package's
# service would otherwise make.
if [ ! -d /run/sshd ]; then
    mkdir -m 0755 /run/sshd || die "cannot make /run/sshd"
    made_privsep=1
fi

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
sshd_answers_or_ended() { ssh -p "$1" "${ssh_options[@]}" root@127.0.0.1 true 2>/dev/null || ! kill -0 "$sshd_pid" 2>/dev/null; }
no_session() { ! pgrep -P "$sshd_pid" >/dev/null; }

# Starts sshd on PORT and waits until it lets us in; fails if it ends first
# (the port taken meanwhile, say).
start_sshd() {
    local port=$1
    cat >"$work/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
PidFile $work/sshd.pid
AuthorizedKeysFile $work/authorized_keys
PermitRootLogin prohibit-password
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
Subsystem sftp internal-sftp
EOF
    /usr/sbin/sshd -D -e -f "$work/sshd_config" >"$work/sshd.log" 2>&1 &
    sshd_pid=$!
    poll "sshd on port $port" sshd_answers_or_ended "$port" || return 1
    if ! kill -0 "$sshd_pid" 2>/dev/null; then
        wait "$sshd_pid" 2>/dev/null
        sshd_pid=""
        return 1
    fi
}

port=""
for _ in 1 2 3 4 5 6 7 8 9 10; do
    candidate=$((20000 + RANDOM % 40000))
    port_in_use "$candidate" && continue
    if start_sshd "$candidate"; then
        port=$candidate
        break
    fi
    [ -n "$sshd_pid" ] && { kill "$sshd_pid"; wait "$sshd_pid" 2>/dev/null; sshd_pid=""; }
done
[ -n "$port" ] || { cat "$work/sshd.log" >&2; die "sshd did not start on a free loopback port"; }

sshfs -p "$port" -o "IdentityFile=$work/client_key,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,BatchMode=yes" \
    "root@127.0.0.1:$served" "$share" || { cat "$work/sshd.log" >&2; die "sshfs could not mount $served"; }
mountpoint -q "$share" || die "sshfs returned but $share is no mount point"
log "sshfs: $(grep " $share " /proc/self/mountinfo)"

# --- the program folder on the share -----------------------------------------

mkdir -p "$share/vantrel/images" "$share/vantrel/data" || die "cannot make folders on the share"
cp "$build/vantrel" "$build/vantrel-exchange" "$share/vantrel/" || die "cannot copy the programs to the share"
cp "$build"/images/*.bmp "$share/vantrel/images/" || die "cannot copy the pictures to the share"
book=$served/vantrel/data/vantrel.mdb

if "$build/tools/vantrel-createdb" "$share/vantrel/data/vantrel.mdb" >"$work/createdb.out" 2>&1; then
    log "vantrel-createdb made the book on the share"
else
    log "vantrel-createdb on the share: $(cat "$work/createdb.out"); made on the local disk and copied"
    mkdir -p "$work/made"
    "$build/tools/vantrel-createdb" "$work/made/vantrel.mdb" >/dev/null || die "vantrel-createdb failed on the local disk too"
    cp "$work/made/vantrel.mdb" "$share/vantrel/data/" || die "cannot copy the book to the share"
fi
sqlite3 -batch "$share/vantrel/data/vantrel.mdb" "insert into userMaster (user, Password) values ('ann', 'pw')" ||
    die "cannot add ann to the book on the share"
[ "$(sqlite3 -batch "file:$book?immutable=1" "select count(*) from userMaster where user = 'ann'")" = 1 ] ||
    die "the server does not hold ann in the book"

printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Nell Shore\r\nN:Shore;Nell;;;\r\nEND:VCARD\r\n' >"$work/one.vcf"
contacts() { # DATABASE: the number of ann's contacts named Nell Shore
    sqlite3 -batch "$1" \
        "select count(*) from main where user = 'ann' and firstName = 'Nell' and secondName = 'Shore'"
}

original_sum=$(sha256sum <"$book")
original_files=$(ls -A "$served/vantrel/data")
log "the book on the share: $original_files"

# untouched NAME: the book on the server byte for byte as it was, nothing new beside it
untouched() {
    [ "$(sha256sum <"$book")" = "$original_sum" ] || fail "$1 changed the book on the share"
    local now
    now=$(ls -A "$served/vantrel/data")
    [ "$now" = "$original_files" ] || fail "$1 left files beside the book: $(echo "$now" | tr '\n' ' ')"
}

# refused NAME STATUS STDERR: ended with status 1 and said why
refused() {
    local name=$1 status=$2 errors=$3
    if [ "$status" -eq 124 ]; then
        fail "$name still ran after ${NETSHARE_TIMEOUT} s: it opened the book on the share"
    elif [ "$status" -ne 1 ]; then
        fail "$name ended with status $status, not 1"
    fi
    grep -q "network share" "$errors" || fail "$name did not name the network share: $(cat "$errors")"
    grep -q "fuse.sshfs" "$errors" || fail "$name did not name the file system type fuse.sshfs: $(cat "$errors")"
    log "$name said: $(cat "$errors")"
}

# --- the checks on the share ----------------------------------------------------

cd "$work" || die "cannot enter $work"

QT_QPA_PLATFORM=offscreen timeout -s KILL "$NETSHARE_TIMEOUT" "$share/vantrel/vantrel" \
    >"$work/vantrel.out" 2>"$work/vantrel.err" </dev/null
status=$?
[ "$status" -eq 137 ] && status=124
refused vantrel "$status" "$work/vantrel.err"
untouched vantrel

printf 'pw\n' | timeout -s KILL "$NETSHARE_TIMEOUT" "$share/vantrel/vantrel-exchange" import --user ann "$work/one.vcf" \
    >"$work/import.out" 2>"$work/import.err"
status=$?
[ "$status" -eq 137 ] && status=124
refused "vantrel-exchange import" "$status" "$work/import.err"
untouched "vantrel-exchange import"
[ "$(contacts "file:$book?immutable=1")" = 0 ] || fail "vantrel-exchange imported into the book on the share"

# --- the same folder on the local disk opens ---------------------------------

cp -a "$share/vantrel" "$local_copy" || die "cannot copy the program folder to the local disk"
local_book=$local_copy/data/vantrel.mdb
[ ! -e "$local_book-shm" ] || die "the copied book already has a shared-memory index"

# The program opens its book before any window; the log's shared-memory index
# beside the book shows it opened it for writing. Stopped by us (status 143),
# not ended by itself, it was still on its way to the login window.
QT_QPA_PLATFORM=offscreen "$local_copy/vantrel" >"$work/local.out" 2>"$work/local.err" </dev/null &
program_pid=$!
opened_or_ended() { [ -e "$local_book-shm" ] || ! kill -0 "$program_pid" 2>/dev/null; }
if poll "the local book opened" opened_or_ended &&
    [ -e "$local_book-shm" ]; then
    kill -TERM "$program_pid" 2>/dev/null
    wait "$program_pid"
    status=$?
    [ "$status" -eq 143 ] || fail "vantrel on the local disk ended by itself with status $status: $(cat "$work/local.err")"
else
    kill -KILL "$program_pid" 2>/dev/null
    wait "$program_pid"
    fail "vantrel on the local disk did not open its book (status $?): $(cat "$work/local.err")"
fi
program_pid=""

printf 'pw\n' | timeout -s KILL "$NETSHARE_TIMEOUT" "$local_copy/vantrel-exchange" import --user ann "$work/one.vcf" \
    >"$work/local-import.out" 2>"$work/local-import.err"
status=$?
[ "$status" -eq 0 ] || fail "vantrel-exchange import on the local disk ended with status $status: $(cat "$work/local-import.err")"
[ "$(contacts "$local_book")" = 1 ] || fail "vantrel-exchange import on the local disk did not store Nell Shore"

if [ "$failures" -ne 0 ]; then
    log "netshare: $failures check(s) failed"
    exit 1
fi
log "netshare: all checks passed"
