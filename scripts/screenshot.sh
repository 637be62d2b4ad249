#!/usr/bin/env bash
# Takes the README's screenshot of the main window with sample data (docs/main-window.png).
# Runs the program under Xvfb (Debian packages xvfb and xauth), with a throw-away settings and
# data folder, so it works on a machine without a display and never touches the user's data.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/main-window.png}"
build=build-screenshot
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF -DQUILLET_BUILD_SCREENSHOT=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillet_screenshot
mkdir -p "$(dirname "$out")"
# A 24-bit screen; no window manager is needed: the window renders itself.
program=$(./scripts/built-path.sh "$build" quillet_screenshot)
xvfb-run -a -s "-screen 0 1024x768x24" "$program" "$out"
echo "wrote $out"
