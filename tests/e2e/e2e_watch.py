#!/usr/bin/env python3
"""Starts a copy of discora on the demo music folder with no song playing,
puts another program's window in front, as a player's would be, then has
another process open a song: within seconds, long before the one-minute
refresh, the title names the song, its row turns red and the play is
counted in its song information file.

Usage: e2e_watch.py DISCORA_BINARY MAKE_DEMO_SCRIPT
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (check, close_with_alt_e, demo_copy, finish, main_window, read_bytes,  # noqa: E402
                         red_pixels, start_window_manager, stop, xdotool)
from e2e_support import wait_for as support_wait_for  # noqa: E402
from e2e_support import start  # noqa: E402

def wait_for(predicate, timeout, step=0.05):
    """Polls more often than the shared default: the time a song takes to
    show is measured with it."""
    return support_wait_for(predicate, timeout, step)


def main():
    binary, make_demo = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="discora-e2e-watch-")
    wm = player = app = front = None
    try:
        exe, music, _ = demo_copy(binary, make_demo, work)
        wm = start_window_manager()

        # A runtime folder of its own: the single-instance guard must not
        # hand over to a copy some other test runs at the same time.
        runtime = os.path.join(work, "runtime")
        os.mkdir(runtime, 0o700)
        app = start([exe], cwd=work, env=dict(os.environ, XDG_RUNTIME_DIR=runtime))
        wid = main_window(30, 0.05)
        check(bool(wid), "the main window appears with the title 'Discora 1.5'")
        if not wid:
            return
        # The first scan is done once the totals are in; give it a moment,
        # well inside the refresh timer's minute.
        time.sleep(3)
        check(xdotool("getwindowname", wid) == "Discora 1.5", "no song is named before one plays")
        check(red_pixels(wid, work) == 0, "no row is red before a song plays")

        # Another program in front: not an activation of ours, and the timer
        # would take up to a minute.
        front = start(["xmessage", "-title", "Player", "Playing"])
        other = wait_for(lambda: xdotool("search", "--name", "^Player$").split("\n")[0], 10)
        if other:
            xdotool("windowactivate", "--sync", other)
        check(bool(other) and xdotool("getactivewindow") == other, "another program's window is in front")

        song = os.path.join(music, "Merel-Paper Boats.mp3")
        info = os.path.join(music, "Merel-Paper Boats.INI")
        check(b"UsageCount = 0\r\n" in read_bytes(info), "the song was never played")
        started = time.time()
        player = start(["sh", "-c", 'exec sleep 600 < "$1"', "sh", song])
        playing = "Discora 1.5  Merel - Paper Boats"
        # Well inside the refresh timer's minute, with no activation of ours:
        # only the watch can have noticed it. How fast is bench material.
        named = wait_for(lambda: xdotool("getwindowname", wid) == playing, 30)
        seconds = time.time() - started
        check(named, "a song opened by another process names itself in the title, before the timer "
              "could (%.2f s)" % seconds)
        check(wait_for(lambda: b"UsageCount = 1\r\n" in read_bytes(info), 5),
              "the play is counted in the song information file, from 0 to 1")
        check(wait_for(lambda: red_pixels(wid, work) > 50, 5, 0.5), "the playing row is drawn in red")

        player.kill()
        player.wait()
        check(wait_for(lambda: red_pixels(wid, work) == 0, 10, 0.5),
              "the row is no longer red once the player lets go of the song")
        check(b"UsageCount = 1\r\n" in read_bytes(info), "the play was counted once")

        check(close_with_alt_e(app, wid), "Alt+E closes the window and ends the program")
    finally:
        stop((app, player, front, wm))
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
    finish()
