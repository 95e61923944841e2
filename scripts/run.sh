#!/usr/bin/env bash
# Installs what is missing, builds Discora and starts it. The first time, it
# makes a demo music folder and a settings file that points at it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
bash scripts/build.sh >/dev/null
bin=build/app/discora
if [ ! -f build/app/discora.INI ]; then
  demo=$PWD/build/demo-music
  bash scripts/make-demo.sh "$demo"
  printf '[MP3]\r\nDirectory=%s\r\nINI_Directory=%s\r\n' "$demo" "$demo" >build/app/discora.INI
  echo "Demo music folder: $demo"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Discora needs a graphical display: DISPLAY is not set (run it from a desktop session, or under xvfb-run)." >&2
  exit 1
fi
exec "$bin"
