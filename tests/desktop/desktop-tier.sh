#!/bin/bash
# The desktop tier: installs the program from a build folder, starts it on
# Xvfb under openbox and drives it only with real X input (xdotool), reading
# the results from window titles, the database file and screenshots.
#
#   tests/desktop/desktop-tier.sh BUILD_DIR [ARTIFACTS_DIR]
set -uo pipefail

build=$(cd "$1" && pwd)
artifacts=${2:-$build/desktop-artifacts}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
prefix=$work/vantrel
db=$prefix/data/vantrel.mdb
mkdir -p "$artifacts"
rm -f "$artifacts"/failed-*.png

# shellcheck source=tests/desktop/desktop.sh
. "$here/desktop.sh"
trap 'stop_desktop; rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null || { log "cannot install from $build"; exit 1; }
start_desktop || exit 1

with_ann="insert into userMaster values ('ann', 'pw')" # as typed, as a book from before keeps it
# A password as the book keeps it: hashed, or as typed by a book from before.
kept="case when Password like '\$argon2id\$%' then 'hashed' else Password end"

log_in() { # NAME PASSWORD, from the freshly opened login window
    typed "$1" && key Tab && typed "$2" && key Return && window "(O)"
}

saved() { # Save, and the message box answered
    key alt+s && message && window "(O)"
}

# Signing up and logging in by keyboard alone; text typed right after an
# access key lands in the box the action focuses.
signup_and_login() {
    fresh_book
    start_program || return
    key alt+n && typed "ann" && key Tab && typed "pw" && key Tab && typed "pw" && key Return
    expect_sql "select user || '/' || $kept from userMaster" "ann/hashed" || return
    # Escape, answered No, brings the login window back with empty boxes.
    key Escape && window "Form1" && key Escape && window "My Personal Vantrel Dairy" || return
    typed "ann" && key Tab && typed "wrong" && key Return && message "DEDIV ZODEZO" || return
    window "My Personal Vantrel Dairy" && typed "pw" && key Return && window "(O)" || return # the focus stayed in the password box
    screenshot contact-window-empty
}

# A contact typed by keyboard alone, opening and closing every kind of list on
# the way with Enter and Esc: nothing typed is lost or changed, and Esc that
# closes a list does only that.
add_contact_by_keyboard() {
    fresh_book "$with_ann"
    start_program && log_in ann pw || return
    key alt+a                                       # focus on the category
    typed "Business" && key alt+Down && key Escape  # typed text, the list opened and closed
    key Tab && typed "Key accounts"                 # sub-category: free text
    key Tab && typed "Zed" && key Tab && typed "Stone"
    key shift+Tab shift+Tab shift+Tab               # back to the category, its list opened and closed again;
    key alt+Down && key alt+q && key Escape         # an access key under the open list is the list's
    key Tab Tab Tab Tab                             # to the day of birth
    key alt+Down && key Down Down Down Down Down Down Down && key Return # "7"
    key Tab && key alt+Down && key Down && key Escape && key Down        # month: the list closed, then Down: "1"
    key Tab && typed "199" && key alt+Down && key Escape                 # a year outside the list, kept as typed
    key Tab && typed "1 Main St" && key Return && typed "Springfield"   # Enter in an address is a new line
    key Tab && typed "55-12 x3"                                          # a number box takes digits only
    saved || return
    expect_sql "select category, subCategory, firstName, secondName, dobDate, dobMonth, dobYear,
                       replace(address, char(10), '|'), phone from main" \
        "Business|Key accounts|Zed|Stone|7|1|199|1 Main St|Springfield|55123" || return

    # Typed text that equals an item, or only looks like one, is no choice: the
    # sub-category list stays empty (Down finds nothing) and the text is kept.
    key alt+a && typed "Friends" && key Tab && key Down && key Tab && typed "Eq" && saved || return
    key alt+a && typed "friends" && key Tab Tab && typed "Low" && saved || return
    # Chosen from the list by the arrow keys: the sub-categories follow.
    key alt+a && key Down Down && key Tab && key Down && key Tab && typed "Rel" && saved || return
    expect_sql "select group_concat(firstName || ':' || category || '/' || subCategory, ',') from
                (select * from main where firstName in ('Eq', 'Low', 'Rel') order by rowid)" \
        "Eq:Friends/,Low:friends/,Rel:Relatives/Mom Side" || return

    # After a save in "Relatives", a new contact's list starts again from the top: Down gives the first item.
    key alt+a && key Down && key Tab Tab && typed "Top" && saved || return
    expect_sql "select category from main where firstName = 'Top'" "Friends" || return
    screenshot contact-window-browsing
    key Escape && window "Form1" && key Return && expect_end 0
}

# Search, View and Print from the keyboard; the staged row is the contact shown.
search_view_print() {
    fresh_book "$with_ann;
        insert into main (user, category, firstName, secondName) values ('ann', 'Friends', 'Amy', 'Pond'),
            ('ann', 'Friends', 'Bob', 'Stone'), ('ann', 'Relatives', 'Bob', 'Marley')"
    start_program && log_in ann pw || return
    key alt+e && click_at 290 92 && typed "Bob" && key Tab && typed "Marley" && key alt+v && key alt+p
    expect_sql "select firstName || ' ' || secondName from printDetails" "Bob Marley" || return
    key alt+e && click_at 290 92 && typed "Amy" && key alt+v && key alt+p
    expect_sql "select firstName || ' ' || secondName from printDetails" "Amy Pond" || return
    key alt+e && click_at 290 92 && typed "Nobody" && key alt+v && message && window "(O)" || return
    key alt+p # not found: the last contact is shown, and staged
    expect_sql "select firstName || ' ' || secondName from printDetails" "Bob Marley"
}

# Change password by keyboard: Enter that picks a name from the open list does only that.
change_password() {
    fresh_book "$with_ann; insert into userMaster values ('bob', 'old')"
    start_program || return
    key alt+p && window "Change Password" || return
    key alt+Down && key Down && key Return          # picks "bob" and nothing more
    key Tab && typed "old" && key Tab && typed "new" && key Tab && typed "new" && key Return
    message && window "My Personal Vantrel Dairy" || return
    expect_sql "select group_concat(user || '/' || $kept, ' ') from userMaster" "ann/pw bob/hashed" || return
    log_in bob new
}

# Quit by Esc, Alt+F4 and the close box, answered No and Yes; every other
# window closed from its frame leaves none open, and the program ends.
quit_paths() {
    fresh_book "$with_ann"
    start_program || return
    key alt+F4 && window "Form1" && key Escape && window "My Personal Vantrel Dairy" || return
    click_close_box && window "Form1" && key Escape && window "My Personal Vantrel Dairy" || return
    log_in ann pw && key Escape && window "Form1" && key Escape && window "(O)" || return
    key alt+u && window "My Personal Vantrel Dairy" && key alt+p && window "Change Password" || return
    key Escape && window "Form1" && key Escape && window "Change Password" || return
    key alt+q && window "Form1" && key Return && expect_end 0 || return

    start_program && key alt+F4 && window "Form1" && key Return && expect_end 0 || return
    # The contact window closed by the window manager: no window is left, the program ends.
    start_program && log_in ann pw && key alt+F4 && expect_end 0
}

# The database is held by another program longer than the busy timeout: the
# save reports the engine's text and keeps everything typed for a second try.
failed_save_keeps_typing() {
    fresh_book "$with_ann"
    start_program && log_in ann pw || return
    mkfifo "$work/lock"
    sqlite3 "$db" <"$work/lock" >/dev/null 2>&1 &
    local holder=$!
    exec 7>"$work/lock"
    echo "begin immediate;" >&7
    poll "the other program's lock" '! sqlite3 -cmd ".timeout 0" "$db" "begin immediate" 2>/dev/null' || return
    key alt+a && key Tab Tab && typed "Locked" && key Tab Tab Tab Tab Tab && typed "Kept Road"
    key alt+s && DESKTOP_TIMEOUT=15 message || return
    echo "rollback;" >&7
    exec 7>&-
    wait "$holder"
    window "(O)" && key alt+s && message || return
    expect_sql "select firstName || '|' || address from main" "Locked|Kept Road"
}

# Two workstations on one contact: the other saves its change first; this
# window's save of its older screen is refused with a message, undoes nothing
# and keeps the window modifying; Cancel shows the stored contact, which then saves.
two_workstations_one_contact() {
    retype() { # LENGTH TEXT: a number box's digits replaced (its keys take no Ctrl+A)
        key End && for _ in $(seq "$1"); do key BackSpace; done && typed "$2"
    }
    fresh_book "$with_ann; insert into main (user, category, firstName, phone, mobile)
                values ('ann', 'Friends', 'Amit', '5550001', '9990000001')"
    start_program && log_in ann pw || return
    local here=$program_pid here_window
    here_window=$(xdotool getactivewindow)
    start_program && log_in ann pw || return # the other workstation, on the same book
    key alt+m && click_at 213 295 && retype 7 "1112222" && saved || return
    expect_sql "select phone || '/' || mobile from main" "1112222/9990000001" || return
    key Escape && window "Form1" && key Return && expect_end 0 || return
    program_pid=$here
    xdotool windowactivate "$here_window" && window "(O)" || return
    key alt+m && click_at 290 346 && retype 10 "8880000002" && key alt+s && window projVantrel || return
    xwd -silent -id "$(xdotool getactivewindow)" | convert xwd:- "$artifacts/two-workstations-message.png"
    key Return && window "(O)" || return
    [ "$(sql "select phone || '/' || mobile from main")" = "1112222/9990000001" ] ||
        fail "the older screen was saved over the other workstation's change" || return
    screenshot two-workstations-refused
    key alt+n && key alt+m && click_at 290 346 && retype 10 "8880000002" && saved || return
    expect_sql "select phone || '/' || mobile from main" "1112222/8880000002"
}

# Locked fields stay readable: on the screenshot, the text of the locked first
# name box has at least 4.5:1 contrast on its background.
locked_fields_are_readable() {
    fresh_book "$with_ann; insert into main (user, firstName) values ('ann', 'WWWWWWWWWWWW')"
    start_program && log_in ann pw || return
    window_shot locked-fields
    readable "$artifacts/locked-fields.png" "locked text" 290x22+145+81
}

# The windows drawn on fixed light pictures keep their dark text whatever the
# desktop's scheme: captions, action labels, lists and boxes (enabled and
# locked) at 4.5:1 or more on what is behind them, and a disabled action label
# fainter than an enabled one yet at 3:1 (it is large text). Regions are the
# controls' .ui geometry, boxes without their frames; screenshots are kept as
# SCHEME-login.png, SCHEME-contact.png, SCHEME-quit.png, SCHEME-change-password.png.
designed_windows_are_readable() { # SCHEME: light or dark
    local scheme=$1 shot enabled
    [ "$scheme" = light ] || use_dark_scheme || return
    fresh_book "$with_ann; insert into main (user, category, firstName, EMailH) values
                ('ann', 'Friends', 'Amy', 'washington@department-of-examples.example.org')"
    start_program && typed "ann" && key Tab && typed "pw" || return
    shot=$artifacts/$scheme-login.png && window_shot "$scheme-login"
    readable "$shot" "caption User Name" 130x32+56+60
    readable "$shot" "user name box" 260x24+200+64
    readable "$shot" "label Login" 200x34+56+222
    readable "$shot" "label Quit" 76x34+404+272
    key Return && window "(O)" || return # every field locked, Save and View disabled
    shot=$artifacts/$scheme-contact.png && window_shot "$scheme-contact"
    readable "$shot" "caption Category" 112x32+24+25
    readable "$shot" "locked list Category" 200x24+144+29
    readable "$shot" "locked box Name (F)" 292x24+144+80
    readable "$shot" "label AddNew" 150x34+45+532
    enabled=$ratio
    readable "$shot" "disabled label Save" 150x34+345+532 3
    awk -v d="$ratio" -v e="$enabled" 'BEGIN { exit !(d < e / 2) }' ||
        fail "the disabled Save ($ratio:1) is not clearly fainter than AddNew ($enabled:1)"
    key Escape && window "Form1" || return
    shot=$artifacts/$scheme-quit.png && window_shot "$scheme-quit"
    readable "$shot" "caption Do You Really Want To Quit" 380x40+20+36
    readable "$shot" "label Yes" 100x40+80+116
    readable "$shot" "label No" 100x40+240+116
    key Escape && window "(O)" && key alt+u && window "My Personal Vantrel Dairy" || return
    key alt+p && window "Change Password" || return
    key alt+Down && key Down && key Return && key Tab && typed "old"
    shot=$artifacts/$scheme-change-password.png && window_shot "$scheme-change-password"
    readable "$shot" "caption User Name" 172x32+52+56
    readable "$shot" "user list" 180x24+236+60
    readable "$shot" "old password box" 228x24+236+106
    readable "$shot" "label Modify" 120x34+52+272
    key alt+q && window "Form1" && key Return && expect_end 0
}
designed_windows_light() { designed_windows_are_readable light; }
designed_windows_dark() { designed_windows_are_readable dark; }

# Keys as X11 delivers them: Enter from the keypad (Key_Enter with the keypad
# modifier) logs in, signs up and answers the quit confirmation's Yes; the
# window manager leaves Alt+Shift+F4 to the login window, which does not take
# it (only Alt+F4 alone asks): the Esc after it is the login window's, and asks.
keypad_enter_and_alt_shift_f4() {
    fresh_book "$with_ann"
    start_program && typed "ann" && key Tab && typed "pw" && key KP_Enter && window "(O)" || return
    key Escape && window "Form1" && key KP_Enter && expect_end 0 || return
    start_program && key alt+n && typed "bob" && key Tab && typed "pw" && key Tab && typed "pw" && key KP_Enter
    expect_sql "select user || '/' || $kept from userMaster where user = 'bob'" "bob/hashed" || return
    key alt+shift+F4 && key Escape && window "Form1" && key KP_Enter && expect_end 0
}

# The report window on a screen at scale 2 (1280x1024 gives 640x512 logical
# pixels): the window, its frame and its buttons lie within the screen (its
# preview draws the page to fit).
report_fits_a_scaled_screen() {
    fresh_book "$with_ann; insert into printDetails (firstName, secondName) values ('Amy', 'Pond')"
    env QT_SCALE_FACTOR=2 QT_QPA_PLATFORM=xcb "$prefix/vantrel-report" >>"$work/program.log" 2>&1 &
    program_pid=$!
    window "Vantrel Report" || return
    screenshot report-scale-2
    local id x y w h left right top bottom width height
    id=$(xdotool getactivewindow)
    eval "$(xwininfo -id "$id" | awk '/Absolute upper-left X/{print "x="$4} /Absolute upper-left Y/{print "y="$4}
                                      /Width/{print "w="$2} /Height/{print "h="$2}')"
    read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    eval "$(xwininfo -root | awk '/Width/{print "width="$2} /Height/{print "height="$2}')"
    log "  report window ${w}x${h}+${x}+${y}, frame $left $right $top $bottom, screen ${width}x${height}"
    [ $((x - left)) -ge 0 ] && [ $((y - top)) -ge 0 ] && [ $((x + w + right)) -le "$width" ] &&
        [ $((y + h + bottom)) -le "$height" ] || fail "the report window ${w}x${h}+${x}+${y} leaves the screen"
    # The person can make it smaller still.
    local least
    least=$(xprop -id "$id" WM_NORMAL_HINTS | awk '/minimum size/ { print $5 "x" $7 }')
    log "  its least size ${least:-none}"
    [ "${least%x*}" -le $((width / 2)) ] && [ "${least#*x}" -le $((height / 2)) ] ||
        fail "the report window cannot be made smaller than $least"
    key Escape && expect_end 0
}

# The companion's window by keyboard: log in, export the book, then import a
# card from a phone into it; Esc closes the window.
exchange_window() {
    fresh_book "$with_ann; insert into main (user, firstName, secondName) values ('ann', 'Amy', 'Pond')"
    printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Bo\r\nTEL;CELL:+44 7700 900123\r\nEND:VCARD\r\n' >"$work/phone.vcf"
    QT_QPA_PLATFORM=xcb "$prefix/vantrel-exchange" >>"$work/program.log" 2>&1 &
    program_pid=$!
    window "Vantrel Exchange" || return
    typed "ann" && key Tab && typed "pw" && key Return
    typed "$work/book.csv" && key alt+e && key Return
    poll "the exported file" '[ -s "$work/book.csv" ] && grep -q "Amy,Pond" "$work/book.csv"' || return
    key alt+a && key ctrl+a && typed "$work/phone.vcf" && key alt+i && key Return
    expect_sql "select firstName || ' ' || secondName || ' ' || mobile from main where firstName = 'Bo'" \
        "Bo Lee 447700900123" || return
    # Another file: the one just imported is not offered for an export, and
    # typed again it is replaced only after a question whose default keeps it.
    local main_window kept
    main_window=$(xdotool getactivewindow)
    kept=$(md5sum <"$work/phone.vcf")
    key alt+a && key alt+e && key Return
    poll "a reminder to choose a file" '[ "$(xdotool getactivewindow)" != "$main_window" ]' || return
    key Return
    poll "the exchange window back" '[ "$(xdotool getactivewindow)" = "$main_window" ]' || return
    typed "$work/phone.vcf" && key Return
    poll "the question before replacing" '[ "$(xdotool getactivewindow)" != "$main_window" ]' || return
    xwd -silent -id "$(xdotool getactivewindow)" | convert xwd:- "$artifacts/exchange-replace-question.png"
    key Return
    poll "the exchange window back" '[ "$(xdotool getactivewindow)" = "$main_window" ]' || return
    [ "$(md5sum <"$work/phone.vcf")" = "$kept" ] || fail "the imported file was replaced without a yes"
    # A card in a .txt file is read as the card it is, as on the command line.
    printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ray;Cy\r\nEND:VCARD\r\n' >"$work/card.txt"
    key ctrl+a && typed "$work/card.txt" && key alt+i && key Return
    expect_sql "select count(*) from main where firstName = 'Cy' and secondName = 'Ray'" 1 || return
    # The book itself, even with a yes to replacing it, is refused as an export's file.
    key alt+a && key ctrl+a && typed "$db" && key alt+e && key Return
    poll "the question before replacing the book" '[ "$(xdotool getactivewindow)" != "$main_window" ]' || return
    key alt+y
    poll "the exchange window back" '[ "$(xdotool getactivewindow)" = "$main_window" ]' || return
    window_shot exchange-book-refused
    key Escape && expect_end 0
    [ "$(sqlite3 "$db" 'pragma integrity_check')" = ok ] || fail "the book was damaged by an export onto it"
    expect_sql "select count(*) from main" 3
}

# vantrel-sync in the scenario's desktop session, its controls readable by a
# screen reader; once its window is active, AT-SPI shows it.
start_sync_window() {
    in_session env "${program_env[@]}" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
        "$prefix/vantrel-sync" >>"$work/program.log" 2>&1 &
    program_pid=$!
    window "Vantrel Sync"
}

# sync_tree FILE TEXT: the sync window's AT-SPI tree with where each control
# lies, once it holds TEXT (the page shown).
sync_tree() {
    local tree=$1 showing=$2
    poll "\"$showing\" in the sync window's AT-SPI tree" \
        'in_session "$here/atspi-tree.py" --geometry vantrel-sync >"$tree" 2>/dev/null && grep -q "$showing" "$tree"'
}

# readable_control PNG TREE "ROLE: NAME" [INSET [SKIP]]: readable (above) on
# where the tree says the control lies, less INSET pixels on each side (a
# box's frame) and SKIP on its left (a check box's mark).
readable_control() {
    local found w h x y inset=${4:-0} skip=${5:-0}
    found=$(grep -m1 "^ *$3.* @" "$2") || { fail "no \"$3\" in $2"; return 1; }
    read -r w h x y <<<"$(echo "${found##* @}" | tr 'x+' '  ')"
    readable "$1" "$3" "$((w - 2 * inset - skip))x$((h - 2 * inset))+$((x + inset + skip))+$((y + inset))"
}

# The phone's CardDAV client: curl with ann's login on its standard input,
# never on a command line another user could read.
phone() { # SERVER_DIR CURL_ARGUMENTS...
    local server=$1
    shift
    printf 'user = "%s:%s"\n' "$(cat "$server/user")" "$(cat "$server/password")" | curl -sSf -K - "$@"
}

# A CardDAV server of the scenario's own, stopped when it ends.
start_radicale() { # DIR
    scenario_end+=("'$here/../radicale/radicale.sh' stop '$1'")
    "$here/../radicale/radicale.sh" start "$1" >"$work/radicale.log" 2>&1 ||
        fail "Radicale did not start: $(cat "$work/radicale.log")"
}

# A phone's card and the book's contact meet through a CardDAV server: the
# person logs in, gives the server, the CardDAV user and password by keyboard
# and presses Sync; the summary says what came and went, the phone's card is
# in the book, the book's contact on the server, and the password kept in the
# session's keyring (remember is on) rather than typed again next time.
sync_with_a_phone() {
    local server=$work/radicale book summary entry
    start_radicale "$server" || return
    book="$(cat "$server/url")ann/phone/"
    printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nUID:bo-1\r\nN:Berg;Bo;;;\r\nFN:Bo Berg\r\nTEL;TYPE=CELL:0702\r\nEND:VCARD\r\n' \
        >"$work/bo.vcf"
    phone "$server" -X MKCOL -H "Content-Type: application/xml" --data-binary '<?xml version="1.0"?>
        <mkcol xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav"><set><prop>
        <resourcetype><collection/><C:addressbook/></resourcetype><displayname>Phone</displayname>
        </prop></set></mkcol>' "$book" && phone "$server" -T "$work/bo.vcf" "${book}bo-1.vcf" ||
        { fail "the phone could not put its card"; return; }
    fresh_book "$with_ann; insert into main (user, firstName, secondName, mobile) values ('ann', 'Amy', 'Pond', '0701')"
    start_session && start_sync_window || return
    typed "ann" && key Tab && typed "pw" && key Return
    typed "$(cat "$server/url")" && key Tab && typed "$(cat "$server/user")" && key Tab
    tr -d '\n' <"$server/password" | xdotool type --delay 25 --file - # not on xdotool's command line either
    key alt+s
    poll "the sync's summary" 'summary=$(in_session "$here/atspi-tree.py" --text "Summary of the last sync" \
        vantrel-sync 2>/dev/null) && [ -n "$summary" ]' || return
    window_shot sync-summary
    [ "$summary" = "1 new from the address book, 0 changed here, 1 sent, 0 removed, 0 conflicts." ] ||
        fail "the summary says: $summary"
    expect_sql "select firstName || ' ' || secondName || ' ' || mobile from main where user = 'ann' and firstName = 'Bo'" \
        "Bo Berg 0702" || return
    phone "$server" "$book" | grep -q "^FN:Amy Pond" || fail "the book's contact is not on the server"
    entry="ann@127.0.0.1:$(sed 's#.*:\([0-9]*\)/#\1#' "$server/url")"
    [ "$(in_session secret-tool lookup server vantrel-sync user "$entry")" = "$(cat "$server/password")" ] ||
        fail "the keyring does not keep the CardDAV password for $entry"
    key Escape && expect_end 0
}

# The sync window's two pages under a light or a dark scheme: the hints,
# captions, what is typed in the boxes, the check box and the buttons at 4.5:1
# or more on what is behind them. Regions are where AT-SPI says the controls
# lie. Screenshots: SCHEME-sync-login.png, SCHEME-sync-setup.png.
sync_window_is_readable() { # SCHEME: light or dark
    local scheme=$1 tree shot
    [ "$scheme" = light ] || use_dark_scheme || return
    fresh_book "$with_ann"
    start_session && start_sync_window || return
    tree=$artifacts/$scheme-sync-login.txt
    typed "ann" && key Tab && typed "pw" && sync_tree "$tree" "push button: Log in" || return
    shot=$artifacts/$scheme-sync-login.png && window_shot "$scheme-sync-login"
    readable_control "$shot" "$tree" "label: Log in with"
    readable_control "$shot" "$tree" "label: User name"
    readable_control "$shot" "$tree" "text: User name" 3
    readable_control "$shot" "$tree" "push button: Log in" 3
    key Return && typed "https://cloud.example.org/dav/" && key Tab && typed "ann.lee"
    tree=$artifacts/$scheme-sync-setup.txt
    sync_tree "$tree" "push button: Sync" || return
    shot=$artifacts/$scheme-sync-setup.png && window_shot "$scheme-sync-setup"
    readable_control "$shot" "$tree" "label: Logged in as ann"
    readable_control "$shot" "$tree" "label: Address book or server URL"
    readable_control "$shot" "$tree" "text: Address book or server URL" 3
    readable_control "$shot" "$tree" "text: CardDAV user name" 3
    readable_control "$shot" "$tree" "check box: Remember" 0 22
    readable_control "$shot" "$tree" "push button: Sync" 3
    key Escape && expect_end 0
}
sync_window_light() { sync_window_is_readable light; }
sync_window_dark() { sync_window_is_readable dark; }

# What a screen reader gets from the sync window: every box, the check box and
# the buttons named after their captions, with their access keys; the summary
# named for what it holds. The window's class is its menu entry's.
sync_window_screen_reader() {
    local login=$artifacts/atspi-sync-login.txt setup=$artifacts/atspi-sync-setup.txt line
    fresh_book "$with_ann"
    start_session && start_sync_window || return
    poll "the sync window over AT-SPI" \
        'in_session "$here/atspi-tree.py" vantrel-sync >"$login" 2>/dev/null && grep -q "push button: Log in" "$login"' || return
    for line in "text: User name \[Alt+U\] <- User name" "password text: Password \[Alt+P\] <- Password" \
        "push button: Log in \[Alt+L\]" "push button: Close \[Alt+C\]"; do
        grep -q "^ *$line" "$login" || fail "the login page has no \"$line\" (in $login)"
    done
    typed "ann" && key Tab && typed "pw" && key Return
    poll "the set-up page over AT-SPI" \
        'in_session "$here/atspi-tree.py" vantrel-sync >"$setup" 2>/dev/null && grep -q "push button: Sync" "$setup"' || return
    for line in "text: Address book or server URL \[Alt+U\] <- Address book or server URL" \
        "text: CardDAV user name \[Alt+n\] <- CardDAV user name" \
        "password text: CardDAV password \[Alt+w\] <- CardDAV password" \
        "check box: Remember the password in the keyring \[Alt+R\]" "push button: Sync \[Alt+S\]" \
        "text: Summary of the last sync"; do
        grep -q "^ *$line" "$setup" || fail "the set-up page has no \"$line\" (in $setup)"
    done
    ! grep -Eq "^ *(text|password text|check box|push button): ( \[.*)?( <-.*)?$" "$login" "$setup" ||
        fail "a control without a name: $(grep -Eh "^ *(text|password text|check box|push button): ( \[.*)?( <-.*)?$" "$login" "$setup")"
    local class
    class=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/io.github.vantrel.VantrelSync.desktop")
    xprop -id "$(xdotool getactivewindow)" WM_CLASS | grep -q "\"$class\"\$" ||
        fail "the window's class is $(xprop -id "$(xdotool getactivewindow)" WM_CLASS), not $class"
    key Escape && expect_end 0
}

# A screen reader's view over the real AT-SPI bus (a session bus of its own,
# which starts the accessibility bus): the contact window's tree names every
# control after its caption, the action labels are buttons with their access
# key, and the hidden access-key twins and the frame holding them are absent.
screen_reader_tree() {
    fresh_book "$with_ann"
    local bus tree=$artifacts/atspi-contact-window.txt
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || { fail "no session bus"; return; }
    local DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*} bus_pid=${bus##*$'\n'}
    export DBUS_SESSION_BUS_ADDRESS
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 start_program && log_in ann pw || { kill "$bus_pid"; return; }
    poll "the contact window over AT-SPI" '"$here/atspi-tree.py" vantrel >"$tree" 2>/dev/null && grep -q "Phone" "$tree"'
    kill "$bus_pid"
    for line in "combo box: Date of birth, day <- DOB" "combo box: Date of birth, month" "text: Name (F) <- Name (F)" \
        "text: Phone (O), 2" "push button: Move to the First Record" "push button: Save \[Alt+S\]"; do
        grep -q "^ *$line" "$tree" || fail "the tree has no \"$line\" (in $tree)"
    done
    ! grep -Eq ": (.|Frame1)( \[.*)?$" "$tree" || fail "the tree holds a hidden twin: $(grep -E ": (.|Frame1)$" "$tree")"
    ! grep -Eq "^ *(text|combo box): ( <-.*)?$" "$tree" || fail "a box without a name (in $tree)"
    # The menu entry's StartupWMClass is the class the window really has.
    local class
    class=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/io.github.vantrel.Vantrel.desktop")
    xprop -id "$(xdotool getactivewindow)" WM_CLASS | grep -q "\"$class\"\$" ||
        fail "the window's class is $(xprop -id "$(xdotool getactivewindow)" WM_CLASS), not $class"
    key Escape && window "Form1" && key Return && expect_end 0
}

scenario "sign up and log in" signup_and_login
scenario "add a contact by keyboard" add_contact_by_keyboard
scenario "search, view and print" search_view_print
scenario "change password" change_password
scenario "quit, Alt+F4 and frame close" quit_paths
scenario "a failed save keeps what was typed" failed_save_keeps_typing
scenario "two workstations change one contact" two_workstations_one_contact
scenario "locked fields are readable" locked_fields_are_readable
scenario "the designed windows are readable under a light scheme" designed_windows_light
scenario "the designed windows are readable under a dark scheme" designed_windows_dark
scenario "Enter from the keypad, Alt+Shift+F4" keypad_enter_and_alt_shift_f4
scenario "the report window fits a screen at scale 2" report_fits_a_scaled_screen
scenario "import and export through the exchange window" exchange_window
scenario "a screen reader's tree of the contact window" screen_reader_tree
scenario "synchronise with a phone through the sync window" sync_with_a_phone
scenario "the sync window is readable under a light scheme" sync_window_light
scenario "the sync window is readable under a dark scheme" sync_window_dark
scenario "a screen reader's tree of the sync window" sync_window_screen_reader

if [ "$failures" -ne 0 ]; then
    log "$failures failure(s); screenshots in $artifacts"
    exit 1
fi
log "all desktop scenarios passed"
