#!/usr/bin/env bash
# Makes a small demo music folder: a dozen short MP3 files of silence (real
# MPEG-1 Layer III frames) with song information files for some of them.
#   make-demo.sh FOLDER
set -euo pipefail
dir=$1
mkdir -p "$dir"

# One 128 kbit/s, 44.1 kHz mono frame with zero side information decodes as
# 26 ms of silence; 115 of them make three seconds.
silence() {
  local frame
  frame=$(mktemp)
  { printf '\xff\xfb\x90\xc0'; head -c 413 /dev/zero; } >"$frame"
  for _ in $(seq 1 115); do cat "$frame"; done >"$1"
  rm -f "$frame"
}

songs=(
  "Zandor-Daylight" "Zandor-Harbour Lights" "Zandor-Quiet Water" "Zandor-Northern Sky"
  "Merel-Paper Boats" "Merel-Lantern" "Ivo Stern - Long Road Home" "Ivo Stern-Evening Train"
  "The Fenwicks-Copper Kettle" "Aurora Bay-Tidal" "Nightjar-Embers" "Untitled Demo"
)
for s in "${songs[@]}"; do silence "$dir/$s.mp3"; done

info() { # name usage writer playtime album songyear lyricsmarker lyrics...
  local name=$1 usage=$2 writer=$3 playtime=$4 album=$5 year=$6 marker=$7
  shift 7
  {
    printf '; ******************************************\r\n'
    printf '; Generated %s\r\n' "$(date +%d-%m-%Y)"
    printf '; Do not modify manually.\r\n'
    printf '; ******************************************\r\n\r\n[Info]\r\n'
    printf 'UsageCount = %s\r\nWriter     = %s\r\nPlaytime   = %s\r\n' "$usage" "$writer" "$playtime"
    printf 'AlbumName  = %s\r\nSongYear   = %s\r\nAlbumYear  = %s\r\n' "$album" "$year" "$year"
    printf 'AlbumCDNum = \r\nAlbumLabel = Demo Records\r\n'
    [ -n "$marker" ] && printf 'Lyrics     = %s\r\n' "$marker"
    printf '\r\n; ******************************************\r\n\r\n'
    for line in "$@"; do printf '%s\r\n' "$line"; done
  } >"$dir/$name.INI"
}
info "Zandor-Daylight" 3 "A. Zandor" "03:45" "First Light" 1998 "Yes" \
  "Morning comes over the hill" "and the day begins again"
info "Zandor-Harbour Lights" 1 "A. Zandor" "04:12" "First Light" 1998 "(words unclear)" "(words unclear)"
info "Merel-Paper Boats" 0 "M. de Vries" "02:58" "Small Things" 2004 "Instrumental" "Instrumental"
info "Ivo Stern - Long Road Home" 7 "I. Stern" "05:30" "Miles" 2011 "Yes" "The road is long" "but I am going home"
info "The Fenwicks-Copper Kettle" 2 "J. Fenwick" "03:05" "Kitchen Songs" 1987 ""
