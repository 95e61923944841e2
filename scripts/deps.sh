#!/usr/bin/env bash
# Installs the Debian packages Discora needs, only those that are missing.
#   deps.sh run      what building and running the program needs
#   deps.sh package  that plus what making the Debian package needs
#   deps.sh test     all that plus what the tests need (X server, window
#                    manager, tools, clang and libFuzzer for scripts/fuzz.sh)
set -euo pipefail

# Play hands a song to xdg-open; TagLib (found through pkg-config) reads the
# songs' tags.
build_pkgs=(cmake ninja-build g++ qt6-base-dev libgl-dev fonts-liberation2 fonts-dejavu-core xdg-utils
            libtag1-dev pkg-config)
# cpack's library dependencies come from dpkg-shlibdeps.
package_pkgs=(dpkg-dev file)
test_pkgs=(xvfb xauth openbox xdotool x11-utils imagemagick poppler-utils
           python3 python3-pyatspi at-spi2-core dbus-x11 clang-format acl git
           desktop-file-utils appstream lintian bubblewrap dbus
           mpv mpv-mpris mpd mpc
           clang libclang-rt-14-dev)

want=("${build_pkgs[@]}")
case "${1:-run}" in
  package) want+=("${package_pkgs[@]}") ;;
  test) want+=("${package_pkgs[@]}" "${test_pkgs[@]}") ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
