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

failures = []
passes = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    (passes if condition else failures).append(what)


def wait_for(predicate, timeout, step=0.05):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def xdotool(*args):
    r = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    return r.stdout.strip() if r.returncode == 0 else ""


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def red_pixels(wid, work):
    """How many pure red pixels a screenshot of the window holds."""
    shot = os.path.join(work, "window.png")
    subprocess.run(["import", "-window", wid, shot], check=True)
    out = subprocess.run(["convert", shot, "-fill", "black", "+opaque", "#FF0000", "-fill", "white",
                          "-opaque", "#FF0000", "-format", "%[fx:mean*w*h]", "info:"],
                         capture_output=True, text=True, check=True).stdout
    return int(float(out.strip() or 0))


def main():
    binary, make_demo = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="discora-e2e-watch-")
    wm = player = app = front = None
    try:
        exe = os.path.join(work, "discora")
        shutil.copy2(binary, exe)
        music = os.path.join(work, "music")
        subprocess.run(["bash", make_demo, music], check=True)
        with open(os.path.join(work, "discora.INI"), "wb") as f:
            f.write(b"[MP3]\r\nDirectory=" + music.encode() + b"\r\n")
        wm = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)

        # A runtime folder of its own: the single-instance guard must not
        # hand over to a copy some other test runs at the same time.
        runtime = os.path.join(work, "runtime")
        os.mkdir(runtime, 0o700)
        app = subprocess.Popen([exe], cwd=work, env=dict(os.environ, XDG_RUNTIME_DIR=runtime))
        wid = wait_for(lambda: xdotool("search", "--name", r"^Discora 1\.5").split("\n")[0], 30)
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
        front = subprocess.Popen(["xmessage", "-title", "Player", "Playing"])
        other = wait_for(lambda: xdotool("search", "--name", "^Player$").split("\n")[0], 10)
        if other:
            xdotool("windowactivate", "--sync", other)
        check(bool(other) and xdotool("getactivewindow") == other, "another program's window is in front")

        song = os.path.join(music, "Merel-Paper Boats.mp3")
        info = os.path.join(music, "Merel-Paper Boats.INI")
        check(b"UsageCount = 0\r\n" in read_bytes(info), "the song was never played")
        started = time.time()
        player = subprocess.Popen(["sh", "-c", 'exec sleep 600 < "$1"', "sh", song])
        playing = "Discora 1.5  Merel - Paper Boats"
        named = wait_for(lambda: xdotool("getwindowname", wid) == playing, 10)
        seconds = time.time() - started
        check(named, "a song opened by another process names itself in the title (%.2f s)" % seconds)
        check(seconds < 5, "it does so within seconds, not at the next minute's refresh (%.2f s)" % seconds)
        check(wait_for(lambda: b"UsageCount = 1\r\n" in read_bytes(info), 5),
              "the play is counted in the song information file, from 0 to 1")
        check(wait_for(lambda: red_pixels(wid, work) > 50, 5, 0.5), "the playing row is drawn in red")

        player.kill()
        player.wait()
        check(wait_for(lambda: red_pixels(wid, work) == 0, 10, 0.5),
              "the row is no longer red once the player lets go of the song")
        check(b"UsageCount = 1\r\n" in read_bytes(info), "the play was counted once")

        xdotool("windowactivate", "--sync", wid)
        time.sleep(0.5)
        xdotool("key", "--window", wid, "alt+e")
        try:
            app.wait(30)
        except subprocess.TimeoutExpired:
            pass
        check(app.poll() is not None, "Alt+E closes the window and ends the program")
    finally:
        for p in (app, player, front, wm):
            if p and p.poll() is None:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)

    print("%d passed, %d failed" % (len(passes), len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
