#!/usr/bin/env bash
# Fails when a C++ file of the project differs from .clang-format
# (clang-format 14, Debian 12's). In a git checkout these are the tracked
# .cpp and .h files; in a plain copy of the sources (an unpacked archive, no
# .git) every .cpp and .h outside the build folders. `--list` prints them
# instead of checking them; to fix the formatting:
#   bash scripts/check-format.sh --list | tr '\n' '\0' | xargs -0 clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

sources() {
  # Only when this folder is the top of the checkout: sources unpacked inside
  # some other repository are not tracked there.
  if top=$(git rev-parse --show-toplevel 2>/dev/null) && [ "$top" -ef . ]; then
    git ls-files -z '*.cpp' '*.h'
  else
    find . \( -path './build*' -o -path ./demo -o -name .git \) -prune -o \
      -type f \( -name '*.cpp' -o -name '*.h' \) -printf '%P\0' | sort -z
  fi
}

if [ "${1:-}" = --list ]; then
  sources | tr '\0' '\n'
else
  sources | xargs -0 -r clang-format --dry-run -Werror
fi
