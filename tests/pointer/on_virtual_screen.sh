#!/bin/sh
# Runs a program on a private virtual X screen of its own (Xvfb, on a display number the server
# picks itself, so that parallel runs never meet), with Qt on that screen.
set -eu
if ! command -v Xvfb >/dev/null 2>&1 || ! command -v xdotool >/dev/null 2>&1; then
  echo "Xvfb and xdotool are needed (Debian packages xvfb, xdotool: scripts/install-deps.sh)" >&2
  exit 1
fi
work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/server.log" &
server=$!
# The server writes its display number once it accepts clients; wait for that, 20 s at most.
tries=0
until [ -s "$work/display" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 200 ] || ! kill -0 "$server" 2>/dev/null; then
    echo "Xvfb did not start:" >&2
    cat "$work/server.log" >&2
    exit 1
  fi
  sleep 0.1
done
# libxkbcommon-x11 (Qt's X keyboard) hands strndup() a buffer with no terminating NUL, which strndup
# allows; AddressSanitizer's strict string checks would stop the program there at start-up.
if [ -n "${ASAN_OPTIONS:-}" ]; then export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"; fi
DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb "$@"
