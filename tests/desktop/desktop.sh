# Shared by the desktop tier's scripts (sourced): an X server with a real
# window manager, the installed program, real keyboard and mouse input, and
# waits on what a person would see (the active window's title) or on what the
# database holds. Needs xvfb, openbox, xdotool, x11-utils, x11-apps,
# imagemagick and sqlite3.

DESKTOP_TIMEOUT=${DESKTOP_TIMEOUT:-10}
failures=0
current=""

log() { printf '%s\n' "$*" >&2; }

# Xvfb on a free display, then openbox; returns once the window manager runs.
start_desktop() {
    local fifo="$work/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local number
    read -r -t 20 number <"$fifo" || { log "Xvfb did not start"; cat "$work/xvfb.log" >&2; return 1; }
    export DISPLAY=":$number"
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    openbox_pid=$!
    poll "the window manager" 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'
}

stop_desktop() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null
    [ -n "${openbox_pid:-}" ] && kill "$openbox_pid" 2>/dev/null
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}

# poll DESCRIPTION COMMAND: runs COMMAND until it succeeds, for at most DESKTOP_TIMEOUT seconds.
poll() {
    local what=$1 condition=$2 deadline=$((SECONDS + DESKTOP_TIMEOUT))
    until eval "$condition"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            fail "timed out waiting for $what"
            return 1
        fi
        sleep 0.05
    done
}

active_title() { xdotool getactivewindow getwindowname 2>/dev/null; }

# Waits until the window titled TITLE is active and has the keyboard: keys
# sent before the window manager hands it the focus would go nowhere.
window() {
    local title=$1
    poll "the window \"$title\" (active: \"$(active_title)\")" \
        '[ "$(active_title)" = "$title" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(xdotool getactivewindow 2>/dev/null)" ]'
}

key() { xdotool key --clearmodifiers --delay 40 "$@"; }
typed() { xdotool type --delay 25 -- "$1"; }

# Clicks at X,Y in the active window's client area (the .ui geometry).
click_at() {
    local id
    id=$(xdotool getactivewindow)
    xdotool mousemove --window "$id" "$1" "$2" click 1
}

# The close box in the window manager's frame of the active window.
click_close_box() {
    local x y w
    eval "$(xwininfo -id "$(xdotool getactivewindow)" |
        awk '/Absolute upper-left X/{print "x="$4} /Absolute upper-left Y/{print "y="$4} /Width/{print "w="$2}')"
    xdotool mousemove $((x + w - 8)) $((y - 10)) click 1
}

# A message box is up (titled TITLE, by default the application's title):
# it is answered with Enter, as a person would.
message() {
    window "${1:-projVantrel}" && key Return
}

sql() { sqlite3 -batch -cmd ".timeout 3000" "$db" "$1"; }

# expect_sql QUERY EXPECTED: waits for the database to answer EXPECTED.
expect_sql() {
    local query=$1 expected=$2
    poll "\"$query\" to give \"$expected\" (gives \"$(sql "$query")\")" '[ "$(sql "$query")" = "$expected" ]'
}

fresh_book() {
    rm -f "$db" "$db-wal" "$db-shm" # a log left beside a removed book would be read into the new one
    "$prefix/tools/vantrel-createdb" "$db" >/dev/null
    [ -z "${1:-}" ] || sql "$1"
}

start_program() {
    QT_QPA_PLATFORM=xcb "$prefix/vantrel" >>"$work/program.log" 2>&1 &
    program_pid=$!
    window "My Personal Vantrel Dairy"
}

# Waits for the program to end by itself; its exit status must be EXPECTED.
expect_end() {
    local expected=$1 deadline=$((SECONDS + DESKTOP_TIMEOUT))
    while kill -0 "$program_pid" 2>/dev/null; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            fail "the program did not end (active: \"$(active_title)\")"
            return 1
        fi
        sleep 0.05
    done
    local status=0
    wait "$program_pid" || status=$?
    program_pid=""
    [ "$status" = "$expected" ] || fail "the program ended with status $status, not $expected"
}

# The whole screen as a PNG (popups and message boxes come out black in such captures).
screenshot() {
    xwd -root -silent 2>/dev/null | convert xwd:- "$artifacts/$1.png" 2>/dev/null
}

fail() {
    failures=$((failures + 1))
    log "FAIL [$current]: $*"
    screenshot "failed-$current-$failures"
}

# scenario NAME FUNCTION: runs one scenario on a fresh program; a leftover one is stopped.
# DESKTOP_SCENARIOS=PATTERN (a grep -E pattern) runs only the scenarios whose name matches.
scenario() {
    if [ -n "${DESKTOP_SCENARIOS:-}" ] && ! grep -Eq -- "$DESKTOP_SCENARIOS" <<<"$1"; then
        return
    fi
    current=$1
    local before=$failures started=$SECONDS
    "$2"
    if [ -n "${program_pid:-}" ]; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
        program_pid=""
    fi
    if [ "$failures" -eq "$before" ]; then
        log "PASS [$current] ($((SECONDS - started)) s)"
    else
        log "program output:"
        tail -n 20 "$work/program.log" >&2
    fi
}
