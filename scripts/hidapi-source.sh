#!/usr/bin/env bash
# Fetches the source of Debian's hidapi package into DEST (once; later calls reuse it) and
# prints the path of its top folder. The Windows build compiles hidapi's windows/ backend from
# it. See scripts/debian-source.sh for the deb-src entry it may add.
# Usage: hidapi-source.sh DEST
set -euo pipefail
exec bash "$(dirname "$0")/debian-source.sh" hidapi "${1:?usage: hidapi-source.sh DEST}" windows/hid.c
