#!/usr/bin/env python3
"""Playing and the Current command in the real program: a stub launcher
(xdg-open) first on PATH records what it is given. A double-click on a row
hands it that song's full path; Arrow Down and Enter in the search field hand
it the next song; a launcher that fails shows the warning; Alt+C with a song
held open by another process selects that song and names it in the title.

Usage: e2e_play.py DISCORA_BINARY MAKE_DEMO_SCRIPT
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (accessible_env, accessible_names, check, demo_copy, finish, main_window,  # noqa: E402
                         start_accessibility_bus, start_window_manager, stop, wait_for, xdotool)
from e2e_support import start  # noqa: E402

# The demo songs in the grid's order (names folded to capitals, byte order).
ROWS = ["Aurora Bay-Tidal", "Ivo Stern - Long Road Home", "Ivo Stern-Evening Train", "Merel-Lantern",
        "Merel-Paper Boats", "Nightjar-Embers", "The Fenwicks-Copper Kettle", "Untitled Demo",
        "Zandor-Daylight", "Zandor-Harbour Lights", "Zandor-Northern Sky", "Zandor-Quiet Water"]

# The exit code is read before the call is recorded: once the test sees a
# call, a code it writes next is for the next call only.
STUB = """#!/bin/sh
here=$(dirname "$0")
code=$(cat "$here/code" 2>/dev/null || echo 0)
n=$(ls "$here" | grep -c '^call\\.')
printf '%s\\0' "$@" > "$here/call.tmp"
mv "$here/call.tmp" "$here/call.$n"
exit "$code"
"""


def calls(stub):
    """The arguments of each launcher call so far, in order."""
    out = []
    for n in range(len(glob.glob(os.path.join(stub, "call.*")))):
        path = os.path.join(stub, "call.%d" % n)
        if os.path.exists(path):
            with open(path, "rb") as f:
                out.append(f.read().split(b"\0")[:-1])
    return out


def main():
    binary, make_demo = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="discora-e2e-play-")
    wm = holder = app = bus = None
    try:
        exe, music, _ = demo_copy(binary, make_demo, work)
        stub = os.path.join(work, "stub")
        os.mkdir(stub)
        with open(os.path.join(stub, "xdg-open"), "w") as f:
            f.write(STUB)
        os.chmod(os.path.join(stub, "xdg-open"), 0o755)

        bus = start_accessibility_bus()
        wm = start_window_manager()

        app = start([exe], cwd=work, env=accessible_env(PATH=stub + ":" + os.environ["PATH"]))
        wid = main_window(30)
        check(bool(wid), "the main window appears")
        if not wid:
            return
        xdotool("windowactivate", "--sync", wid)
        check(wait_for(lambda: "1 / 12" in accessible_names("Discora"), 30), "the twelve demo songs are listed")

        # Row 3 of the grid: the grid starts 40 pixels down, under an
        # 18-pixel header, with rows 18 pixels high; x is in the title column.
        xdotool("mousemove", "--window", wid, "250", str(40 + 18 + 2 * 18 + 9))
        xdotool("click", "--repeat", "2", "--delay", "80", "1")
        got = wait_for(lambda: calls(stub), 15)
        want = (music + "/" + ROWS[2] + ".mp3").encode()
        check(got == [[want]], "a double-click on row 3 hands the launcher its full path: %r" % got)

        # The focus is in the search field now: Arrow Down, then Enter.
        xdotool("key", "--window", wid, "Down")
        time.sleep(0.3)
        xdotool("key", "--window", wid, "Return")
        got = wait_for(lambda: len(calls(stub)) == 2 and calls(stub), 15)
        want = (music + "/" + ROWS[3] + ".mp3").encode()
        check(bool(got) and got[1] == [want],
              "Arrow Down and Enter in the search field play the next song: %r" % got)

        # A launcher with no application for the file: the warning names it.
        with open(os.path.join(stub, "code"), "w") as f:
            f.write("3")
        xdotool("key", "--window", wid, "alt+p")
        text = "Fout: There is no application associated with the given filename extension.\n" \
               + music + "/" + ROWS[3] + ".mp3"
        check(wait_for(lambda: text in accessible_names("Discora"), 20),
              "a failed hand-over shows 'Fout: ...' and the path in a message window")
        boxes = xdotool("search", "--name", r"^Discora 1\.5").split("\n")
        check(len(boxes) >= 2, "the message window carries the application title: %r" % boxes)
        box = next((b for b in boxes if b != wid), "")
        if box:
            # The press closes the window; its release goes where a real
            # keyboard's would, to the main window that has the focus again.
            # (Sent to the closed window, the release is lost, and the next
            # message window then ignores its first Return.)
            xdotool("keydown", "--window", box, "Return")
            xdotool("keyup", "--window", wid, "Return")
        check(wait_for(lambda: text not in accessible_names("Discora"), 20), "Enter closes the message window")
        os.remove(os.path.join(stub, "code"))

        # Another process holds the last song open: Alt+C finds it.
        song = os.path.join(music, ROWS[11] + ".mp3")
        holder = start(["sleep", "600"], stdin=open(song, "rb"))
        playing = "Discora 1.5  Zandor - Quiet Water"
        # Should a key sent straight to the window be lost all the same,
        # bring the window to the front and press again until it is taken.
        # (The title alone does not tell: the folder watch names the song
        # by itself once the play is confirmed, Alt+C or not.)
        for _ in range(5):
            xdotool("windowactivate", "--sync", wid)
            xdotool("windowfocus", "--sync", wid)
            xdotool("key", "--clearmodifiers", "alt+c")
            if wait_for(lambda: "12 / 12" in accessible_names("Discora"), 4):
                break
        check(wait_for(lambda: xdotool("getwindowname", wid) == playing, 20),
              "Alt+C names the playing song in the title: %r" % xdotool("getwindowname", wid))
        names = wait_for(lambda: "12 / 12" in accessible_names("Discora") and accessible_names("Discora"), 20)
        check(bool(names) and " Zandor - Quiet Water" in names,
              "Alt+C selects the playing song (row 12 of 12 in the status bar)")

        for _ in range(5):
            xdotool("windowactivate", "--sync", wid)
            xdotool("key", "--clearmodifiers", "alt+e")
            try:
                app.wait(6)
                break
            except subprocess.TimeoutExpired:
                pass
        check(app.poll() is not None, "Alt+E closes the program")
        check(len(calls(stub)) == 3, "the launcher ran once per play: %d" % len(calls(stub)))
    finally:
        stop((app, holder, wm, bus))
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
    finish()
