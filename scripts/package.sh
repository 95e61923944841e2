#!/usr/bin/env bash
# Builds Discora and its Debian package: build/discora_<version>_amd64.deb.
# Install it with `sudo apt install ./build/discora_<version>_amd64.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh package
bash scripts/build.sh >/dev/null
(cd build && cpack -G DEB >/dev/null)
ls build/discora_*_amd64.deb
