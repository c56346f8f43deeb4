#!/usr/bin/env bash
# Builds the release configuration and starts the program against the virtual logger.
# Arguments go to the program, e.g. scripts/demo.sh --via radio
set -euo pipefail

cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/app/qm-controller --demo "$@"
