#!/bin/bash
# Vantrel's vCards in khard (Debian's), and khard's in Vantrel, with the real
# vantrel-exchange on a book made as the program before UIDs left it:
# - the book gets its UIDs once, when first opened; every export carries them;
# - khard (which skips a card without a UID) lists every card of a 3.0 and of
#   a 4.0 export, field by field as tests/khard/vantrel-VERSION.expected says;
# - contacts made in khard from its own template (3.0 and 4.0) come into the
#   book as khard-in-vantrel.expected says, keeping khard's UIDs; importing
#   them again skips each by its UID, even after one was renamed; exported
#   again, khard knows them as its own.
#
#   tests/khard/khard.sh VANTREL_EXCHANGE
#
# Needs khard and sqlite3 (scripts/install-deps.sh installs them).
set -uo pipefail

failures=0
log() { printf '%s\n' "$*" >&2; }
fail() { log "FAIL: $*"; failures=$((failures + 1)); }
die() { log "FAIL: $*"; exit 1; }

[ $# -eq 1 ] || die "usage: $0 VANTREL_EXCHANGE"
[ -x "$1" ] || die "$1 is not built"
for tool in khard sqlite3 awk; do
    command -v "$tool" >/dev/null || die "$tool is missing (scripts/install-deps.sh installs it)"
done
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime # Qt wants a private one
mkdir -m 0700 "$XDG_RUNTIME_DIR"

program=$work/program
book=$program/data/vantrel.mdb
mkdir -p "$program/data"
cp "$1" "$program/vantrel-exchange"
sqlite3 "$book" <"$here/old-book.sql" || die "cannot make the old book"

sql() { sqlite3 -batch "$book" "$1"; }
# vantrel-exchange COMMAND USER ARGS..., logged in with the user's password.
exchange() {
    local command=$1 user=$2
    shift 2
    echo pw | "$program/vantrel-exchange" "$command" --user "$user" "$@"
}
# Texts that must be alike, the difference shown when not.
same() {
    [ "$2" = "$3" ] && return
    fail "$1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") >&2
}
# A khard address book NAME over FOLDER; its settings file's path.
khardBook() {
    mkdir -p "$2"
    printf '[addressbooks]\n[[%s]]\npath = %s\n[general]\neditor = /bin/false\nmerge_editor = /bin/false\n' \
        "$1" "$2" >"$work/$1.conf"
    echo "$work/$1.conf"
}
# An export as a vCard folder holds it, one card a file: khard reads a file's first card only.
splitCards() {
    awk -v folder="$2" '/^BEGIN:VCARD/ { n++ } { print > (folder "/" n ".vcf") }' "$1"
}
# A contact as khard shows it in its template, without the comments, blank
# lines and the empty fields that Vantrel has none of.
shownByKhard() {
    khard -c "$1" show --format yaml "uid:$2" | grep -v -E -e '^#' -e '^$' \
        -e '^ *(Prefix|Additional|Suffix|Nickname|Organisation|Title|Role|Box|Extended|Code|City|Region|Country|Webpage|Private|Note):$'
}

# Vantrel -> khard.
for version in 3 4; do
    exported=$work/ann-$version.vcf
    exchange export ann --format "vcard$version" "$exported" >/dev/null || fail "export as vCard $version.0"
    exchange export ann --format "vcard$version" "$exported.again" >/dev/null
    cmp -s "$exported" "$exported.again" || fail "a second export of vCard $version.0 differs"
    conf=$(khardBook "vantrel$version" "$work/vantrel$version")
    splitCards "$exported" "$work/vantrel$version"
    same "khard lists every card of vCard $version.0 by the book's UIDs" \
        "$(sql "select uid from main where user = 'ann' order by uid")" \
        "$(khard -c "$conf" list --parsable 2>&1 | cut -f1 | sort)"
    shown=$(for uid in $(sql "select uid from main where user = 'ann' order by firstName"); do
        shownByKhard "$conf" "$uid"
    done)
    same "khard shows vCard $version.0 as vantrel-$version.0.expected" \
        "$(cat "$here/vantrel-$version.0.expected")" "$shown"
done
same "every contact got a UID of its own, a URN, once" "5" \
    "$(sql "select count(distinct uid) from main where uid like 'urn:uuid:%-4%'")"

# khard -> Vantrel.
conf=$(khardBook khard "$work/khard")
khard -c "$conf" new -a khard --vcard-version 3.0 -i "$here/marta.yaml" >/dev/null 2>&1 || fail "khard new 3.0"
khard -c "$conf" new -a khard --vcard-version 4.0 -i "$here/jonas.yaml" >/dev/null 2>&1 || fail "khard new 4.0"
for card in "$work"/khard/*.vcf; do
    cat "$card"
    printf '\r\n' # khard ends a file without a line break
done >"$work/khard.vcf"
khardUids=$(khard -c "$conf" list --parsable | cut -f1 | sort)
imported=$(exchange import bo "$work/khard.vcf")
same "khard's cards imported" "Imported 2 contacts from the vCard file; skipped 0." "$(head -n 1 <<<"$imported")"
columns=$(sql "select group_concat(name, ', ') from pragma_table_info('main') where name not in ('user', 'uid')")
same "khard's cards in the book as khard-in-vantrel.expected" "$(cat "$here/khard-in-vantrel.expected")" \
    "$(sqlite3 -batch -line "$book" "select $columns from main where user = 'bo' and uid not like 'urn:%' order by firstName" \
        | grep -v ' = $')"
same "khard's UIDs kept" "$khardUids" "$(sql "select uid from main where user = 'bo' and uid not like 'urn:%' order by uid")"
for when in "again" "after a rename"; do
    [ "$when" = "again" ] || sql "update main set firstName = 'Marta Maria' where firstName = 'Marta'"
    skipped=$(exchange import bo "$work/khard.vcf")
    same "khard's cards imported $when: each skipped by its UID" \
        "Imported 0 contacts from the vCard file; skipped 2.
the same contact (a card with this UID) is already in the book or earlier in the file
the same contact (a card with this UID) is already in the book or earlier in the file" \
        "$(printf '%s\n' "$skipped" | sed -n -e 1p -e 's/^  line [0-9]* ([^)]*): //p')"
done
exchange export bo --format vcard3 "$work/bo.vcf" >/dev/null
conf=$(khardBook back "$work/back")
splitCards "$work/bo.vcf" "$work/back"
same "exported again, khard's cards keep khard's UIDs" "$khardUids" \
    "$(khard -c "$conf" list --parsable | grep -v 'Not Ann' | cut -f1 | sort)"

[ "$failures" -eq 0 ] || die "$failures failed"
echo "khard and Vantrel read each other's cards"
