#!/usr/bin/env bash
# Builds the program and starts it; extra arguments are passed to quillet.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF
cmake --build "$build" -j "$(nproc)" --target quillet
if [ $# -gt 0 ]; then
  exec "$build/quillet" "$@"
fi
exec "$build/quillet" scan --finds examples/*.log
