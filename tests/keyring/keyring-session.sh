#!/bin/sh
# Runs COMMAND [ARGS...] in a desktop session of its own: a D-Bus session bus
# and a gnome-keyring (its Secret Service only) with a new login keyring,
# unlocked, in a temporary HOME that is removed afterwards. Nothing of the
# person running the tests (their keyring, their settings) is seen or touched.
#
#   tests/keyring/keyring-session.sh COMMAND [ARGS...]
#
# COMMAND finds its HOME in $HOME; the keyring's own files lie in
# $HOME/.local/share/keyrings. The daemon ends with the session's bus.
set -eu
if [ -z "${VANTREL_KEYRING_SESSION:-}" ]; then
    export VANTREL_KEYRING_SESSION=1
    exec dbus-run-session -- "$0" "$@"
fi
home=$(mktemp -d)
runtime=$(mktemp -d)
trap 'rm -rf "$home" "$runtime"' EXIT
export HOME="$home" XDG_RUNTIME_DIR="$runtime" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config"
printf '%s' "keyring-of-the-tests" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
# The daemon forks before it owns its name on the bus: a program asking
# earlier would have the bus start a second daemon, without this keyring.
gdbus wait --session --timeout 30 org.freedesktop.secrets || {
    echo "keyring-session: the keyring did not take its name on the bus" >&2
    exit 1
}
status=0
"$@" || status=$?
exit "$status"
