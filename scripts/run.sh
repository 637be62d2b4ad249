#!/usr/bin/env bash
# Builds the program and starts the desktop window; arguments are passed to quillet, so
# `./scripts/run.sh scan --finds examples/*.log` runs a headless subcommand instead.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF
cmake --build "$build" -j "$(nproc)" --target quillet
exec "$build/quillet" "$@"
