#!/usr/bin/env bash
# Builds the program and starts the desktop window; arguments are passed to quillet, so
# `./scripts/run.sh scan --finds examples/*.log` runs a headless subcommand instead. Relative
# paths in the arguments are taken from the folder the command is run in. The set-up and the
# build report on stderr, so stdout carries only what quillet prints.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-release"
{
  "$root/scripts/install-deps.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF
  cmake --build "$build" -j "$(nproc)" --target quillet
} >&2
program=$("$root/scripts/built-path.sh" "$build" quillet)
exec "$program" "$@"
