#!/usr/bin/env bash
# Fetches the source of a Debian package into DEST (once; later calls reuse it) and prints the
# path of its top folder, DEST/src. FILE is a file the tree must hold (relative to its top): its
# presence means the source is already there. Needs a deb-src entry for apt: when the system has
# none, one is added beside the deb entries of /etc/apt/sources.list.d/debian.sources (or
# /etc/apt/sources.list).
# Usage: debian-source.sh PACKAGE DEST FILE
set -euo pipefail
package=${1:?usage: debian-source.sh PACKAGE DEST FILE}
dest=${2:?usage: debian-source.sh PACKAGE DEST FILE}
marker=${3:?usage: debian-source.sh PACKAGE DEST FILE}
me=debian-source.sh
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
if [ -f "$dest/src/$marker" ]; then
    echo "$dest/src"
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi

has_deb_src() {
    grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/
}
if ! has_deb_src; then
    list=/etc/apt/sources.list.d/qmc-deb-src.sources
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        # The same stanzas, for source packages.
        sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo[@]}" tee "$list" >/dev/null
    elif [ -f /etc/apt/sources.list ]; then
        list=/etc/apt/sources.list.d/qmc-deb-src.list
        sed -nE 's/^deb (.*)/deb-src \1/p' /etc/apt/sources.list | "${sudo[@]}" tee "$list" >/dev/null
    else
        echo "$me: no apt sources to add a deb-src entry to" >&2
        exit 1
    fi
    echo "$me: added $list" >&2
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >&2
fi
if ! command -v dpkg-source >/dev/null; then
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        dpkg-dev >&2
fi

work="$dest/fetch"
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get source -qq -o APT::Sandbox::User=root "$package" >&2) || {
    # A deb-src entry whose package lists were never fetched.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >&2
    (cd "$work" && apt-get source -qq -o APT::Sandbox::User=root "$package" >&2)
}
top=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -1)
if [ -z "$top" ] || [ ! -f "$top/$marker" ]; then
    echo "$me: the source of $package has no $marker" >&2
    exit 1
fi
rm -rf "$dest/src"
mv "$top" "$dest/src"
rm -rf "$work"
echo "$dest/src"
