#!/usr/bin/env bash
# Builds the Debian package build/release/qm-controller_<version>_<arch>.deb from the release
# configuration and prints its path. Install it with: sudo apt-get install ./<that path>
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target qm-controller qm_manpage
# The package holds only what has install rules: the program and its desktop files.
cpack --preset deb >/dev/null
deb=$(ls -t build/release/qm-controller_*.deb | head -1)
echo "$PWD/$deb"
