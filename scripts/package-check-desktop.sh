#!/bin/bash
# The desktop tier on the installed package: a member of group vantrel (not
# root) starts /opt/vantrel/vantrel on Xvfb under openbox, signs up and logs in
# by keyboard, adds a contact, prints it, quits; then vantrel-report makes the
# card's PDF from what Print staged. Run by scripts/package-check.sh.
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
prefix=/opt/vantrel
db=$prefix/data/vantrel.mdb
work=$(mktemp -d)
chmod 755 "$work"
mkdir -m 777 "$work/home" # the member's own, for the card and Qt's settings
artifacts=${DESKTOP_ARTIFACTS:-$work}
# shellcheck source=tests/desktop/desktop.sh
. "$here/tests/desktop/desktop.sh"
trap 'stop_desktop; rm -rf "$work"' EXIT

gid=$(getent group vantrel | cut -d: -f3)
# A name of its own each run: the database outlives the package, so an earlier
# run's member may already be there.
member="packager$$"
as_member() { setpriv --reuid=65534 --regid=65534 --groups="$gid" env HOME="$work/home" "$@"; }

start_desktop || exit 1
as_member env QT_QPA_PLATFORM=xcb "$prefix/vantrel" >>"$work/program.log" 2>&1 &
program_pid=$!

installed_program() {
    window "My Personal Vantrel Dairy" || return
    key alt+n && typed "$member" && key Tab && typed "pw" && key Tab && typed "pw" && key Return
    expect_sql "select count(*) from userMaster where user = '$member'" "1" || return
    key Escape && window "Form1" && key Escape && window "My Personal Vantrel Dairy" || return
    typed "$member" && key Tab && typed "pw" && key Return && window "(O)" || return
    key alt+a && key Tab Tab && typed "Packaged" && key Tab && typed "Person" && key alt+s && message && window "(O)" || return
    key alt+p
    expect_sql "select firstName || ' ' || secondName from printDetails" "Packaged Person" || return
    key Escape && window "Form1" && key Return && expect_end 0 || return
    as_member "$prefix/vantrel-report" --pdf "$work/home/card.pdf" || { fail "vantrel-report failed"; return; }
    pdftotext "$work/home/card.pdf" - | grep -q "Packaged Person" || fail "the card does not show the contact"
}

scenario "the installed program, as a member of group vantrel" installed_program
[ "$failures" -eq 0 ] || { cat "$work/program.log" >&2; exit 1; }
