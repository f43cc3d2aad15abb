#!/bin/sh
# Installs what Vantrel needs to build, run and test on Debian 12.
set -eu
# By line: the build; the windows' font; the desktop tier (an X server, a
# window manager, real input, window and screen inspection, the sqlite3 shell
# to read the book); the report's fonts and poppler-utils (its tests read PDFs
# back); the package checks (scripts/package-check.sh); librsvg2-bin for
# tools/make_icons.sh; Qt's PostgreSQL driver and the server the tests start;
# the network-share test (an sshd of its own, mounted over sshfs); password
# hashing and the server's own SCRAM functions; charset detection for imports;
# address books of other programs that the exchange tests read and write with;
# a dark colour scheme and a screen reader's view (AT-SPI) for the desktop tier;
# a CardDAV server, a second CardDAV client and curl for the sync tests;
# the keyring library of vantrel-sync, and a keyring and its lookup tool for its tests;
# the format and lint checks (scripts/check-style.sh).
packages="cmake ninja-build g++ pkgconf qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libsqlite3-dev libmount-dev
          fonts-comic-neue
          xvfb xauth openbox xdotool x11-utils x11-apps imagemagick sqlite3
          fonts-noto-core fonts-noto-cjk fonts-symbola poppler-utils
          dpkg-dev lintian appstream desktop-file-utils
          librsvg2-bin
          libqt6sql6-psql postgresql
          openssh-server openssh-client sshfs fuse3
          libsodium-dev libpq-dev
          libuchardet-dev
          khard abook
          qt6ct at-spi2-core dbus python3-pyatspi
          radicale vdirsyncer curl
          qtkeychain-qt6-dev gnome-keyring libsecret-tools libglib2.0-bin
          clang-format clang-tidy"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
