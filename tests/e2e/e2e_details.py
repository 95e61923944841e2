#!/usr/bin/env python3
"""Starts a copy of discora in the X server we run in, with the demo music
folder, and drives the song details dialog and the statistics report like a
user: a right click on the grid opens the selected song's details, typed
lyrics are saved into its song information file, a refresh shows the lyrics
mark, and Statistics writes the report beside the program. Clone takes
another song's values from a file picked by typing its name and Enter, and the
next key goes to the details dialog again.

Usage: e2e_details.py DISCORA_BINARY MAKE_DEMO_SCRIPT
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (accessible_env, accessible_grid, check, demo_copy, finish, outer_size,  # noqa: E402
                         start_accessibility_bus, start_window_manager, stop, wait_for, xdotool)
from e2e_support import start  # noqa: E402

SEP = b"; ******************************************"


def click(wid, x, y):
    xdotool("windowactivate", "--sync", wid)
    time.sleep(0.5)
    xdotool("mousemove", "--window", wid, str(x), str(y))
    xdotool("click", "1")


REFRESH = (141, 18)  # the middle of the tool buttons
STATISTICS = (493, 18)


def find_window(pattern, timeout):
    return wait_for(lambda: xdotool("search", "--onlyvisible", "--name", pattern).split("\n")[0], timeout)


def open_statistics(wid):
    """Clicks Statistics (again, should a click be lost) until the viewer
    titled 'Statistics' shows; its window, or ""."""
    for _ in range(3):
        click(wid, *STATISTICS)
        viewer = find_window(r"^Statistics$", 10)
        if viewer:
            return viewer
    return ""


def read_file(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def grid_cells(timeout, predicate):
    """The song grid's cells once predicate(cells) holds, or None."""
    grid = accessible_grid("Discora", timeout, lambda headers, cells: predicate(cells))
    return grid[1] if grid else None


def main():
    binary, make_demo = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="discora_e2e_details.")
    wm = app = bus = None
    try:
        exe, music, settings = demo_copy(binary, make_demo, work)
        with open(os.path.join(music, "Aurora Bay-Shore.INI"), "wb") as f:
            f.write(b"[Info]\r\nUsageCount = 3\r\nWriter = Anna Reef\r\n")
        bus = start_accessibility_bus()
        wm = start_window_manager()

        app = start([exe], cwd=work, env=accessible_env())
        wid = find_window(r"^Discora 1\.5", 30)
        check(bool(wid), "the main window appears")
        if not wid:
            return
        cells = grid_cells(30, lambda g: len(g) == 12)
        check(cells is not None and len(cells) == 12, "the twelve demo songs are listed")
        tidal = next((r for r in cells or [] if r[1] == "Tidal"), None)
        check(tidal is not None and tidal[6] == " ", "Aurora Bay - Tidal has no lyrics mark yet: %r" % tidal)

        # The first song is selected; the right click lands on another row.
        xdotool("windowactivate", "--sync", wid)
        xdotool("mousemove", "--window", wid, "300", "200")
        xdotool("click", "3")
        details = find_window(r"^Details for:  Aurora Bay-Tidal$", 15)
        check(bool(details), "a right click opens the details of the selected song, Aurora Bay-Tidal")
        if not details:
            return
        info_path = os.path.join(music, "Aurora Bay-Tidal.INI")
        check(read_file(info_path) == b"", "opening the details created an empty song information file")

        time.sleep(0.5)
        # Clone: the start of the name typed, the file picked from the
        # completions (this artist's files) and taken with Enter.
        xdotool("key", "alt+l")
        picker = find_window(r"^Open$", 15)
        check(bool(picker), "Clone opens the file dialog")
        time.sleep(1)
        xdotool("type", "--delay", "40", "Aurora Bay-Sh")
        time.sleep(0.5)
        xdotool("key", "Down")
        xdotool("key", "Return")
        check(wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Open$"), 10),
              "Enter in the file dialog closes it")
        time.sleep(0.5)
        xdotool("type", "--delay", "20", "Waves roll in   ")
        xdotool("key", "Return")
        xdotool("type", "--delay", "20", "and out")
        xdotool("key", "alt+s")
        check(wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Details for:"), 15),
              "Save closes the dialog")
        today = time.strftime("%d-%m-%Y").encode()
        expected = (SEP + b"\r\n; Generated " + today + b"\r\n; Do not modify manually.\r\n" + SEP
                    + b"\r\n\r\n[Info]\r\nUsageCount = 3\r\nWriter     = Anna Reef\r\nPlaytime   = \r\n"
                    b"AlbumName  = \r\nSongYear   = \r\nAlbumYear  = \r\nAlbumCDNum = \r\n"
                    b"AlbumLabel = \r\nLyrics     = Yes\r\n\r\n" + SEP + b"\r\n\r\nWaves roll in\r\nand out\r\n")
        saved = wait_for(lambda: read_file(info_path) == expected, 10)
        check(saved, "the values cloned from Aurora Bay-Shore, then the lyrics typed after Clone, "
              "in the file on disk byte for byte: %r" % read_file(info_path))

        def tidal_marked(g):
            return any(r[1] == "Tidal" and r[6] == "V" for r in g)
        for _ in range(3):  # a click while the window is still taking the focus can be lost
            click(wid, *REFRESH)
            cells = grid_cells(10, tidal_marked)
            if cells and tidal_marked(cells):
                break
        tidal = next((r for r in cells or [] if r[1] == "Tidal"), None)
        check(tidal is not None and tidal[6] == "V", "after a refresh the grid shows the lyrics mark V: %r" % tidal)

        check(app.poll() is None, "the program is still running after the save (exit code %r)" % app.poll())
        report = os.path.join(work, "discora.TXT")
        expected_report = (b"\r\n"
                           b" Nummer of songs:    12\r\n"
                           b" Without lyrics:      7\r\n"
                           b" Unclear lyrics:      1\r\n"
                           b" Instrumental:        1\r\n"
                           b"\r\n"
                           b"   Ivo Stern    Evening Train\r\n"
                           b"   Merel        Lantern\r\n"
                           b"   Nightjar     Embers\r\n"
                           # "Untitled Demo" has no "-": no artist cell, so the
                           # artist above it stands in, and an empty title.
                           b"   The Fenwicks \r\n"
                           b"   The Fenwicks Copper Kettle\r\n"
                           b"   Zandor       Northern Sky\r\n"
                           b"   Zandor       Quiet Water\r\n"
                           b" X Zandor       Harbour Lights\r\n")
        viewer = open_statistics(wid)
        check(bool(viewer), "Statistics shows the report in a viewer titled 'Statistics'")
        check(read_file(report) == expected_report,
              "Statistics writes the report beside the program, byte for byte: %r" % read_file(report))
        if viewer:
            xdotool("windowactivate", "--sync", viewer)
            time.sleep(0.5)
            wait_for(lambda: outer_size(viewer) == (468, 314), 15)
            size = outer_size(viewer)
            check(size == (468, 314), "the viewer is 468 x 314 with its frame: %r" % (size,))
            xdotool("key", "Escape")
            check(wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Statistics$"), 10),
                  "Esc closes the viewer")
            stored = read_file(settings) or b""
            check(b"Height=314\r\nWidth=468\r\n" in stored, "the viewer stores the size it showed: %r" % stored)
            # Opened again at the stored size, it shows that size: no growth by the frame.
            viewer = open_statistics(wid)
            if viewer:
                wait_for(lambda: outer_size(viewer) == (468, 314), 15)
                size = outer_size(viewer)
                check(size == (468, 314), "opened again, the viewer is 468 x 314 with its frame: %r" % (size,))
                xdotool("windowactivate", "--sync", viewer)
                time.sleep(0.5)
                xdotool("key", "Return")  # the focus is on Close
                check(wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Statistics$"), 10),
                      "Enter on Close closes the viewer")
    finally:
        stop((app, wm, bus))
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
    finish()
