#!/usr/bin/env bash
# Installs what is missing, builds, and runs the player on its bundled default.
# The player cannot boot a game yet; what it can do so far is read the bundled class source
# into tokens.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
build/kelvo tokens Usr/hello/Hello.kelvo
