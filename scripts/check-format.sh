#!/usr/bin/env bash
# Fails when a tracked C++ file differs from .clang-format (clang-format 14,
# Debian 12's). Run `git ls-files '*.cpp' '*.h' | xargs clang-format -i` to fix.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror
