# Shared by the desktop tier's scripts (sourced): an X server with a real
# window manager, the installed program, real keyboard and mouse input, and
# waits on what a person would see (the active window's title) or on what the
# database holds. Needs xvfb, openbox, xdotool, x11-utils, x11-apps,
# imagemagick, sqlite3, for a dark colour scheme qt6ct, and for a desktop
# session's bus and keyring dbus, gnome-keyring and libsecret-tools.

# How long a wait may last before it counts as a failure: a bound, not a pace
# (a passing run never waits it out). Generous, as a loaded 2-core machine
# needs it; the first start of the window manager may build font caches.
DESKTOP_TIMEOUT=${DESKTOP_TIMEOUT:-30}
# DESKTOP_SCENARIOS: a regular expression; only the scenarios whose function
# name matches it run (all of them when unset).
DESKTOP_SCENARIOS=${DESKTOP_SCENARIOS:-}
program_env=() # NAME=VALUE for the programs a scenario starts: its colour scheme
session_env=() # NAME=VALUE of the scenario's desktop session (start_session)
scenario_end=() # commands run when the scenario ends, passed or failed: its servers stopped
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
    local timeout=$DESKTOP_TIMEOUT
    DESKTOP_TIMEOUT=$((timeout > 120 ? timeout : 120))
    poll "the window manager" 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' || {
        DESKTOP_TIMEOUT=$timeout
        log "openbox: $(kill -0 "$openbox_pid" 2>/dev/null && echo running || echo ended)"
        cat "$work/openbox.log" "$work/xvfb.log" >&2
        return 1
    }
    DESKTOP_TIMEOUT=$timeout
}

stop_desktop() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null
    end_scenario_services
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
    env "${program_env[@]}" QT_QPA_PLATFORM=xcb "$prefix/vantrel" >>"$work/program.log" 2>&1 &
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

# The active window's client area as $artifacts/NAME.png, in the .ui's coordinates.
window_shot() {
    xwd -silent -id "$(xdotool getactivewindow)" | convert xwd:- "$artifacts/$1.png"
}

# A desktop session for the programs started next, as a person's login gives
# one: a session bus of its own (which starts the accessibility bus when asked)
# and gnome-keyring's Secret Service on it, the login keyring unlocked with a
# password given on its standard input, in a HOME of its own. The tier's own
# commands reach it through in_session. It ends with the scenario.
start_session() {
    local home=$work/session bus
    rm -rf "$home" && mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || { fail "no session bus"; return 1; }
    scenario_end+=("kill ${bus##*$'\n'}") # the keyring daemon and the accessibility bus end with it
    session_env=(DBUS_SESSION_BUS_ADDRESS="${bus%%$'\n'*}" HOME="$home" XDG_RUNTIME_DIR="$home/runtime"
        XDG_DATA_HOME="$home/share" XDG_CONFIG_HOME="$home/config")
    printf '%s' "keyring-of-the-desktop-tier" |
        in_session gnome-keyring-daemon --unlock --components=secrets >/dev/null || { fail "no keyring"; return 1; }
    # The daemon forks before it owns its name: a program asking earlier would
    # have the bus start a second one, without the unlocked login keyring.
    poll "the keyring on the session bus" 'in_session dbus-send --session --print-reply --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
        grep -q true'
}

in_session() { env "${session_env[@]}" "$@"; }

end_scenario_services() {
    local step
    for step in "${scenario_end[@]}"; do eval "$step" >/dev/null 2>&1; done
    scenario_end=() session_env=()
}

# A dark colour scheme for the programs started next, as a desktop's Qt theme
# gives it: qt6ct's platform theme with Fusion and its "darker" colours.
use_dark_scheme() {
    local colors=/usr/share/qt6ct/colors/darker.conf
    [ -f "$colors" ] || { fail "no dark scheme to try: the package qt6ct is not installed"; return 1; }
    mkdir -p "$work/dark/qt6ct"
    printf '[Appearance]\ncolor_scheme_path=%s\ncustom_palette=true\nstyle=Fusion\n' "$colors" \
        >"$work/dark/qt6ct/qt6ct.conf"
    program_env=(QT_QPA_PLATFORMTHEME=qt6ct XDG_CONFIG_HOME="$work/dark")
}

# contrast PNG WxH+X+Y: the contrast ratio (WCAG 2) of what is drawn in the
# region on what is behind it: the region's most common colour against the
# colour that stands out from it the most, lighter or darker.
contrast() {
    convert "$1" -crop "$2" +repage -format %c histogram:info:- |
        awk -F'[(),]' '
            function lin(c) { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
            function ratio(a, b) { return a > b ? (a + 0.05) / (b + 0.05) : (b + 0.05) / (a + 0.05) }
            { n = $1 + 0; l = 0.2126 * lin($2) + 0.7152 * lin($3) + 0.0722 * lin($4); lum[NR] = l
              if (n > most) { most = n; background = l } }
            END { for (i in lum) if (ratio(lum[i], background) > best) best = ratio(lum[i], background)
                  printf "%.2f", best }'
}

# readable PNG WHAT WxH+X+Y [MINIMUM]: logs the region's contrast, keeps it in
# $ratio, and fails below MINIMUM (4.5:1 unless told).
readable() {
    ratio=$(contrast "$1" "$3")
    log "  $(basename "$1" .png): $2 $ratio:1"
    awk -v r="$ratio" -v m="${4:-4.5}" 'BEGIN { exit !(r >= m) }' ||
        fail "$2 on $(basename "$1"): contrast $ratio:1 is below ${4:-4.5}:1"
}

fail() {
    failures=$((failures + 1))
    log "FAIL [$current]: $*"
    screenshot "failed-$current-$failures"
}

# scenario NAME FUNCTION: runs one scenario on a fresh program; a leftover one is stopped.
scenario() {
    [ -z "$DESKTOP_SCENARIOS" ] || [[ $2 =~ $DESKTOP_SCENARIOS ]] || return 0
    current=$1
    program_env=()
    local before=$failures started=$SECONDS
    "$2"
    if [ -n "${program_pid:-}" ]; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
        program_pid=""
    fi
    end_scenario_services
    if [ "$failures" -eq "$before" ]; then
        log "PASS [$current] ($((SECONDS - started)) s)"
    else
        log "program output:"
        tail -n 20 "$work/program.log" >&2
    fi
}
