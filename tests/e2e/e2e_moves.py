#!/usr/bin/env python3
"""Starts a copy of discora on the demo music folder and renames songs with
the real mv: one while the program runs, one while it is closed. Both rows
show their old usage count and lyrics mark after the next full scan, the
status bar says how many songs kept their information, the log of moves beside
the settings file names them, and a double-click on the status bar's text
panel shows that log.

Usage: e2e_moves.py DISCORA_BINARY MAKE_DEMO_SCRIPT
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (accessible_env, accessible_grid, accessible_names, accessible_nodes, check,  # noqa: E402
                         close_with_alt_e, demo_copy, finish, main_window, read_bytes, start_accessibility_bus,
                         start_window_manager, stop, wait_for, xdotool)
from e2e_support import start  # noqa: E402


def row(cells, title):
    return next((r for r in cells if r[1] == title), None)


def shows(title, count, mark):
    """A predicate on the grid: the row titled title shows count and mark."""
    def holds(headers, cells):
        r = row(cells, title)
        return r is not None and r[5] == count and r[6] == mark
    return holds


def texts_shown():
    """The text of every text area of the program, as a screen reader reads it."""
    texts = []
    for node in accessible_nodes("Discora"):
        try:
            text = node.queryText()
            texts.append(text.getText(0, text.characterCount))
        except Exception:
            continue
    return texts


def start_app(exe, work):
    app = start([exe], cwd=work, env=accessible_env())
    return app, main_window(30)


def main():
    binary, make_demo = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="discora-e2e-moves-")
    wm = bus = app = None
    try:
        exe, music, _ = demo_copy(binary, make_demo, work)
        bus = start_accessibility_bus()
        wm = start_window_manager()
        app, wid = start_app(exe, work)
        check(bool(wid), "the main window appears")
        if not wid:
            return
        grid = accessible_grid("Discora", 30, shows("Daylight", "    3", "V"))
        check(grid is not None and row(grid[1], "Daylight") is not None,
              "Zandor - Daylight is listed with count 3 and lyrics mark V")

        # Renamed while the program runs: no Refresh, no restart.
        subprocess.run(["/bin/mv", os.path.join(music, "Zandor-Daylight.mp3"),
                        os.path.join(music, "Zandor-Daylight (live).mp3")], check=True)
        grid = accessible_grid("Discora", 30, shows("Daylight (live)", "    3", "V"))
        live = grid and row(grid[1], "Daylight (live)")
        check(bool(live) and live[5] == "    3" and live[6] == "V" and row(grid[1], "Daylight") is None,
              "renamed while running, the song shows its old count and lyrics mark: %r" % (live,))
        check(os.path.exists(os.path.join(music, "Zandor-Daylight (live).INI"))
              and not os.path.exists(os.path.join(music, "Zandor-Daylight.INI")),
              "its song information file was renamed to match")
        check(wait_for(lambda: " Song information moved for 1 song." in accessible_names("Discora"), 10),
              "the status bar says: Song information moved for 1 song.")
        log = os.path.join(work, "discora.LOG")
        check(os.path.exists(log) and b"Zandor-Daylight.INI -> Zandor-Daylight (live).INI\r\n" in read_bytes(log),
              "the log beside the settings file names the move")

        # A double-click on the text panel shows the log.
        xdotool("windowactivate", "--sync", wid)
        xdotool("mousemove", "--window", wid, "120", "408")
        xdotool("click", "--repeat", "2", "--delay", "80", "1")
        viewer = wait_for(lambda: xdotool("search", "--name", "^Song information moved$").split("\n")[0], 10)
        check(bool(viewer), "a double-click on the status bar's text panel opens the log viewer")
        if viewer:
            names = wait_for(lambda: [t for t in texts_shown()
                                      if "Zandor-Daylight.INI -> Zandor-Daylight (live).INI" in t
                                      and "Song information moved for 1 song." in t], 10)
            check(bool(names), "the viewer shows the move")
            xdotool("windowactivate", "--sync", viewer)
            # Pressed and let go on the keyboard itself, to the window that has
            # the focus: sent to the viewer, which is gone once Escape is
            # down, the release missed the X server, and the Escape held down
            # repeated into the main window; with the Alt of the Alt+E below,
            # openbox took it as its Alt+Escape and took the focus away.
            xdotool("key", "Escape")
            check(wait_for(lambda: not xdotool("search", "--name", "^Song information moved$"), 10),
                  "Esc closes the viewer")
        check(close_with_alt_e(app, wid), "Alt+E closes the program")

        # Renamed while the program is not running.
        subprocess.run(["/bin/mv", os.path.join(music, "Zandor-Harbour Lights.mp3"),
                        os.path.join(music, "Zandor-Harbour Lights (demo).mp3")], check=True)
        app, wid = start_app(exe, work)
        check(bool(wid), "the main window appears again")
        if not wid:
            return
        grid = accessible_grid("Discora", 30, shows("Harbour Lights (demo)", "    1", "X"))
        demo = grid and row(grid[1], "Harbour Lights (demo)")
        check(bool(demo) and demo[5] == "    1" and demo[6] == "X",
              "renamed while closed, the song shows its old count and lyrics mark: %r" % (demo,))
        live = grid and row(grid[1], "Daylight (live)")
        check(bool(live) and live[5] == "    3" and live[6] == "V", "the song renamed before keeps its own")
        check(wait_for(lambda: " Song information moved for 1 song." in accessible_names("Discora"), 10),
              "the status bar says so after the first scan")
        text = read_bytes(log)
        check(b"Zandor-Harbour Lights.INI -> Zandor-Harbour Lights (demo).INI\r\n" in text
              and text.count(b"Song information moved for 1 song.\r\n") == 2,
              "the log names both moves, each with its summary")
        check(close_with_alt_e(app, wid), "Alt+E closes the program again")
    finally:
        stop((app, wm, bus))
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
    finish()
