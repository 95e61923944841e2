#!/usr/bin/env python3
"""Starts a copy of discora in the X server we run in, with its own settings
file and the demo music folder, and drives it like a user: the window comes
up with the songs listed, a song held open by another process is named in
the title and counted, and Alt+E closes the window and writes the settings.

Usage: e2e_main.py DISCORA_BINARY MAKE_DEMO_SCRIPT
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (accessible_env, accessible_grid, accessible_names, check, close_with_alt_e, demo_copy, finish,  # noqa: E402
                         main_window, read_bytes, red_pixels, start_accessibility_bus,
                         start_window_manager, stop, wait_for, window_name, xdotool)
from e2e_support import start  # noqa: E402


def main():
    binary, make_demo = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="discora-e2e-")
    wm = player = app = bus = None
    try:
        exe, music, settings = demo_copy(binary, make_demo, work, trailing_slash=True)
        bus = start_accessibility_bus()
        wm = start_window_manager()
        # A "player" holding one song open before the program starts.
        song = os.path.join(music, "Zandor-Daylight.mp3")
        player = start(["sleep", "600"], stdin=open(song, "rb"))

        app = start([exe], cwd=work, env=accessible_env())
        wid = main_window(30)
        check(bool(wid), "the main window appears with the title 'Discora 1.5'")
        if not wid:
            return

        playing = "Discora 1.5  Zandor - Daylight"
        check(wait_for(lambda: window_name(wid) == playing, 30),
              "a song held open by another process names it in the title: %r" % window_name(wid))
        geometry = xdotool("getwindowgeometry", wid)
        check("681x416" in geometry, "the window's client area is 681 x 416: " + geometry.replace("\n", " "))

        grid = accessible_grid("Discora", 30, lambda headers, cells: len(cells) == 12 and all(headers))
        if grid is None:
            check(False, "the song grid is visible to assistive technology")
        else:
            headers, cells = grid
            check(headers[:7] == ["Artist", "Title", " Time", " Size", " Year", "Count", "?"],
                  "grid headers as a screen reader reads them: %r" % headers)
            check(len(cells) == 12, "twelve demo songs listed (got %d)" % len(cells))
            rows = {(r[0], r[1]) for r in cells}
            check(("Zandor", "Daylight") in rows and ("", "Harbour Lights") in rows,
                  "the artist shows on the first of its songs only")
            check(("Ivo Stern ", " Long Road Home") in rows, "a name with ' - ' keeps its blanks")
            daylight = next(r for r in cells if r[1] == "Daylight")
            check(daylight[3] == "Lock" and daylight[5] == "    4",
                  "the playing song shows 'Lock' and its count went from 3 to 4: %r" % daylight)
            untitled = next((r for r in cells if r[1] == ""), None)
            check(untitled is not None and untitled[2] == "No INI", "a song without '-' and without INI: %r" % untitled)

        texts = set(accessible_names("Discora"))
        check(" Aurora Bay - Tidal" in texts and "1 / 12" in texts,
              "the status bar's panels are readable: the selected song and its position: %r" % sorted(t for t in texts if "/" in t or t.startswith(" ")))
        check(any(n.endswith(" hr") for n in texts) and any(n.endswith(" MB") for n in texts),
              "the totals under the grid are readable")
        for caption in ("Exit", "Refresh", "About...", "Play", "Details...", "Statistics", "Find first", "Current"):
            check(any(n.replace("&", "") == caption for n in texts), "button %r is readable" % caption)

        reds = red_pixels(wid, work)
        check(reds > 50, "the playing row is drawn in red (%d red pixels)" % reds)

        info = read_bytes(os.path.join(music, "Zandor-Daylight.INI"))
        check(b"UsageCount = 4\r\n" in info and b"Writer     = A. Zandor\r\n" in info,
              "the play was counted in the song information file, other lines unchanged")

        check(close_with_alt_e(app, wid), "Alt+E closes the window and ends the program")

        written = read_bytes(settings)
        check(b"[Coordinates]\r\nTop=" in written and b"\r\nLeft=" in written,
              "the settings file got the window position: %r" % written)
        check(b"Directory=" + music.encode() + b"\r\n" in written
              and b"INI_Directory=" + music.encode() + b"\r\n" in written,
              "the music folder is written back without its trailing '/'")
    finally:
        stop((app, player, wm, bus))
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
    finish()
