#!/usr/bin/env bash
# Prints where a build folder put one of its programs: `scripts/built-path.sh BUILD TARGET`.
# The build writes each program's path into BUILD/paths/TARGET when it is configured, so the
# scripts never guess at the build's layout.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD TARGET" >&2
  exit 2
fi
record="$1/paths/$2"
if [ ! -f "$record" ]; then
  echo "$0: $1 has no program named $2 (configure and build it first)" >&2
  exit 1
fi
path=$(<"$record")
if [ ! -x "$path" ]; then
  echo "$0: $path was not built" >&2
  exit 1
fi
printf '%s\n' "$path"
