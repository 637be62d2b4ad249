#!/usr/bin/env bash
# Runs the README's run command the way a newcomer types it and checks what it prints: the
# version, the example `scan --finds` output shown in the README, and the message (not a crash)
# when there is no display. Part of the test command, so CI fails whenever the main command breaks.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "check-run: $*" >&2; exit 1; }

version=$(./scripts/run.sh --version) || fail "./scripts/run.sh --version failed"
[[ "$version" =~ ^quillet\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "unexpected --version output: $version"

# The example block: the lines after the command, up to the first blank line, without the indent.
command='./scripts/run.sh scan --finds examples/forum.log'
expected=$(awk -v cmd="    \$ $command" '
  $0 == cmd { on = 1; next }
  on && /^$/ { exit }
  on { sub(/^    /, ""); print }' README.md)
[ -n "$expected" ] || fail "README.md shows no output for: $command"
actual=$(./scripts/run.sh scan --finds examples/forum.log) || fail "$command failed"
if [ "$actual" != "$expected" ]; then
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >&2 || true
  fail "$command does not print what README.md shows (above: README, then the program)"
fi

# From another folder, relative paths are the caller's.
actual=$(cd examples && ../scripts/run.sh scan --finds forum.log | tail -n 1)
[ "$actual" = "end	forum.log" ] || fail "a relative path from another folder: $actual"

# No display: a message and status 1, not Qt's abort.
program=$(./scripts/built-path.sh build-release quillet)
status=0
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" 2>&1 >/dev/null) || status=$?
[ "$status" -eq 1 ] || fail "quillet without a display exited with $status"
[[ "$message" == *"no display"* && "$message" == *"quillet scan"* ]] || fail "no-display message: $message"
echo "check-run: the README's run command works"
