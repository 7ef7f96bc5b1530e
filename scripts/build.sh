#!/usr/bin/env bash
# Configures and builds into build/ (or the directory given as the first argument); any
# further arguments are passed to CMake's configure step, e.g. -DKELVO_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" "$@"
cmake --build "$build_dir" -j "$(nproc)"
