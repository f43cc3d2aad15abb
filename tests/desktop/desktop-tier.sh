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
    xwd -silent -id "$(xdotool getactivewindow)" | convert xwd:- "$artifacts/locked-fields.png"
    local ratio
    ratio=$(convert "$artifacts/locked-fields.png" -crop 290x22+145+81 +repage -format %c histogram:info:- |
        awk -F'[(),]' '
            function lin(c) { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
            { n = $1 + 0; l = 0.2126 * lin($2) + 0.7152 * lin($3) + 0.0722 * lin($4)
              if (n > most) { most = n; background = l }
              if (dark == "" || l < dark) dark = l }
            END { printf "%.1f", (background + 0.05) / (dark + 0.05) }')
    log "locked text contrast: $ratio:1"
    awk -v r="$ratio" 'BEGIN { exit !(r >= 4.5) }' || fail "locked text contrast $ratio:1 is below 4.5:1"
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
scenario "import and export through the exchange window" exchange_window
scenario "a screen reader's tree of the contact window" screen_reader_tree

if [ "$failures" -ne 0 ]; then
    log "$failures failure(s); screenshots in $artifacts"
    exit 1
fi
log "all desktop scenarios passed"
