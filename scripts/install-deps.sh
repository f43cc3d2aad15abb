#!/bin/sh
# Installs what Vantrel needs to build, run and test on Debian 12.
set -eu
# The last line is the desktop tier's: an X server, a window manager, real
# input, window and screen inspection, and the sqlite3 shell to read the book.
packages="cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libsqlite3-dev
          fonts-comic-neue
          xvfb xauth openbox xdotool x11-utils x11-apps imagemagick sqlite3"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
