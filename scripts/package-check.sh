#!/bin/sh
# Builds the Debian package, checks it (lintian, appstreamcli, desktop-file-validate),
# installs it, makes a contact card with the installed vantrel-report from a
# staged row, and removes and purges the package, checking that the database
# stays. Run as root on a test machine or in CI (it installs and removes the
# package vantrel, and stages a row in /opt/vantrel/data/vantrel.mdb):
#
#   scripts/package-check.sh [BUILD_DIR]      (default: build-package)
#
# The build uses Debian's own compiler and linker flags (dpkg-buildflags), as a
# package built by Debian's tools would. Running it again gives the same result.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-"$ROOT/build-package"}
PROGRAM=/opt/vantrel
DB=$PROGRAM/data/vantrel.mdb
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

step() { printf '\n== %s\n' "$*"; }
fail() { echo "package-check: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run as root: it installs and removes the package"

step "Build the package in $BUILD"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target vantrel vantrel-report vantrel-exchange vantrel-sync vantrel-createdb vantrel-migrate vantrel_pictures vantrel_package_docs
rm -f "$BUILD"/vantrel_*.deb
(cd "$BUILD" && cpack -G DEB)
DEB=$(ls "$BUILD"/vantrel_*.deb)

step "lintian"
# dir-or-file-in-opt: the program folder is in /opt by design (see README).
lintian --fail-on error,warning --suppress-tags dir-or-file-in-opt --display-info "$DEB"

step "desktop-file-validate and appstreamcli validate"
dpkg-deb -x "$DEB" "$WORK/root"
desktop-file-validate "$WORK"/root/usr/share/applications/*.desktop
appstreamcli validate --no-net "$WORK"/root/usr/share/metainfo/*.metainfo.xml
grep -q "^Exec=$PROGRAM/vantrel\$" "$WORK/root/usr/share/applications/io.github.vantrel.Vantrel.desktop" ||
    fail "the menu entry does not start $PROGRAM/vantrel"
for entry in "$WORK"/root/usr/share/applications/*.desktop; do
    # Qt names the windows' class after the executable; the desktop matches them to the entry by it.
    program=$(sed -n "s|^Exec=$PROGRAM/||p" "$entry")
    grep -q "^StartupWMClass=$program\$" "$entry" || fail "$entry does not name the class $program"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -f "$WORK/root/usr/share/icons/hicolor/256x256/apps/$icon.png" ] || fail "no icon $icon for $entry"
done
set -- "$WORK"/root/usr/share/applications/*.desktop
[ "$(grep -h '^Icon=' "$@" | sort -u | wc -l)" = $# ] || fail "the menu entries share an icon"
for companion in Exchange Sync; do
    lower=$(echo "$companion" | tr '[:upper:]' '[:lower:]')
    grep -q "^Exec=$PROGRAM/vantrel-$lower\$" "$WORK/root/usr/share/applications/io.github.vantrel.Vantrel$companion.desktop" ||
        fail "no menu entry starts $PROGRAM/vantrel-$lower"
    [ -x "$WORK/root$PROGRAM/vantrel-$lower" ] || fail "the package has no $PROGRAM/vantrel-$lower"
    grep -q "io.github.vantrel.Vantrel$companion.desktop" "$WORK"/root/usr/share/metainfo/*.metainfo.xml ||
        fail "the AppStream data does not list Vantrel $companion"
done
for shot in $(sed -n 's|.*<image>.*/\([^/]*\.png\)</image>.*|\1|p' "$WORK"/root/usr/share/metainfo/*.metainfo.xml); do
    [ -f "$WORK/root/usr/share/doc/vantrel/screenshots/$shot" ] || fail "the screenshot $shot is not installed"
done
# Calculator starts one of these; without any the program ends.
dpkg-deb -f "$DEB" Recommends | grep -q "gnome-calculator | kcalc .*| x11-apps" || fail "no calculator recommended"

step "Install"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$DEB"
getent group vantrel >/dev/null || fail "no group vantrel"
[ "$(stat -c '%U:%G %a' "$PROGRAM/data")" = "root:vantrel 3775" ] || fail "data/ is $(stat -c '%U:%G %a' "$PROGRAM/data")"
[ -f "$DB" ] || fail "no database at $DB"
[ "$(stat -c '%G' "$DB")" = vantrel ] || fail "the database's group is $(stat -c '%G' "$DB")"
dpkg -L vantrel | grep -q "^$PROGRAM/data" && fail "the package lists data/ as its own"

step "A member of group vantrel stages a contact; vantrel-report makes its card"
gid=$(getent group vantrel | cut -d: -f3)
setpriv --reuid=65534 --regid=65534 --groups="$gid" sqlite3 "$DB" \
    "delete from printDetails; insert into printDetails (firstName, secondName, address, dobDate, dobMonth, dobYear)
     values ('Package', 'Check', 'Line one' || char(10) || 'Line two', '7', '3', '1980');"
[ ! -e "$DB-journal" ] || [ "$(stat -c '%G' "$DB-journal")" = vantrel ] || fail "journal outside the group"
before=$(sha256sum "$DB")
"$PROGRAM/vantrel-report" --pdf "$WORK/card.pdf" --page-size Letter
[ "$(sha256sum "$DB")" = "$before" ] || fail "vantrel-report changed the database"
pdftotext "$WORK/card.pdf" - | tee "$WORK/card.txt"
grep -q "Package Check" "$WORK/card.txt" || fail "the card has no name"
grep -q "7 March 1980" "$WORK/card.txt" || fail "the card has no date of birth"
pdfinfo "$WORK/card.pdf" | grep -q "^Pages: *1$" || fail "the card is not one page"
pdfinfo "$WORK/card.pdf" | grep -q "612 x 792" || fail "the card is not on Letter paper"

step "Two members at once: the book's log and shared index stay the group's"
# Member one's program holds the book open, so SQLite's write-ahead log and its
# shared index are that member's files; member two must still save beside it,
# and again after member one's program was killed and left them behind.
setpriv --reuid=65534 --regid=65534 --groups="$gid" sqlite3 "$DB" \
    "insert into userMaster values ('package-check-$$', 'pw')"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:Member;Second\r\nEND:VCARD\r\n' >"$WORK/second.vcf"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:Member;Third\r\nEND:VCARD\r\n' >"$WORK/third.vcf"
chmod 644 "$WORK"/*.vcf && chmod 755 "$WORK"
QT_QPA_PLATFORM=offscreen setpriv --reuid=65534 --regid=65534 --groups="$gid" "$PROGRAM/vantrel" >/dev/null 2>&1 &
first=$!
for _ in $(seq 200); do [ -e "$DB-shm" ] && break; kill -0 "$first" 2>/dev/null || break; sleep 0.05; done
[ -e "$DB-shm" ] || fail "the program did not open the book with its log"
for file in "$DB-wal" "$DB-shm"; do
    [ "$(stat -c '%G %a' "$file")" = "vantrel 660" ] || fail "$file is $(stat -c '%U:%G %a' "$file")"
done
import_as_second_member() {
    echo pw | setpriv --reuid=65533 --regid=65533 --groups="$gid" \
        "$PROGRAM/vantrel-exchange" import --user "package-check-$$" "$1" || fail "member two could not import $1"
}
import_as_second_member "$WORK/second.vcf"
kill -KILL "$first"; wait "$first" 2>/dev/null || true
import_as_second_member "$WORK/third.vcf"
[ "$(sqlite3 "$DB" "select count(*) from main where user = 'package-check-$$'")" = 2 ] ||
    fail "the second member's contacts are not both stored"
[ "$(sqlite3 "$DB" "pragma integrity_check")" = ok ] || fail "the book is damaged"

step "Someone outside group vantrel is told why the book does not open"
for run in "$PROGRAM/vantrel-report --pdf $WORK/none.pdf" "$PROGRAM/vantrel-exchange export --user ann $WORK/none.vcf" \
    "$PROGRAM/vantrel-sync --user ann"; do
    # shellcheck disable=SC2086 # the command and its arguments
    setpriv --reuid=65532 --regid=65532 --clear-groups $run </dev/null 2>"$WORK/refused.txt" &&
        fail "an outsider opened the book: $run"
    grep -q "not allowed to open the contact book $DB. Ask the administrator to add you to the group vantrel" \
        "$WORK/refused.txt" || fail "$run said: $(cat "$WORK/refused.txt")"
done

step "Qt's own options are taken by Qt, not read as the program's"
for program in vantrel-report vantrel-exchange vantrel-sync; do
    QT_QPA_PLATFORM=offscreen "$PROGRAM/$program" -reverse -style fusion --help >/dev/null || fail "$program refuses Qt's options"
done

step "A member may use the book but not delete or replace it"
as_member() { setpriv --reuid=65533 --regid=65533 --groups="$gid" "$@"; }
as_member rm -f "$DB" 2>/dev/null && fail "a member deleted the book"
as_member sh -c "cp '$DB' '$DB.theirs' && mv -f '$DB.theirs' '$DB'" 2>/dev/null && fail "a member replaced the book"
as_member rm -f "$DB.theirs"
[ -f "$DB" ] && [ "$(stat -c '%U' "$DB")" = root ] || fail "the book is not root's any more"

# Hook for the desktop tier: scripts/package-check-desktop.sh, if present, runs
# here while the package is installed, to start /opt/vantrel/vantrel on Xvfb
# with a window manager and drive it with xdotool (as tests/desktop does for
# a folder made by cmake --install).
if [ -x "$ROOT/scripts/package-check-desktop.sh" ]; then
    step "Desktop tier"
    "$ROOT/scripts/package-check-desktop.sh"
fi

step "Remove and purge: the database stays"
before=$(sha256sum "$DB")
DEBIAN_FRONTEND=noninteractive apt-get remove -y -q vantrel
[ -f "$DB" ] || fail "remove deleted the database"
[ ! -e "$PROGRAM/vantrel" ] || fail "remove left the program"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q vantrel
[ -f "$DB" ] || fail "purge deleted the database"
[ "$(sha256sum "$DB")" = "$before" ] || fail "the database changed on remove or purge"

step "package-check: all checks passed"
