#!/usr/bin/env bash
# Installs what is missing, builds Discora and its tests, and runs every
# test through CTest. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
bash scripts/check-format.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 900
