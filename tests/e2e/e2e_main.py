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
import time

failures = []
passes = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    (passes if condition else failures).append(what)


def wait_for(predicate, timeout, step=0.2):
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


def window_name(wid):
    return xdotool("getwindowname", wid)


def read_ini(path):
    with open(path, "rb") as f:
        return f.read()


def accessible_nodes(app_name):
    """Every node of the application's accessible tree (not inside tables)."""
    try:
        import pyatspi
    except ImportError:
        return []
    nodes = []
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app_name not in (app.name or ""):
            continue
        stack = [app]
        while stack:
            node = stack.pop()
            try:
                nodes.append(node)
                if node.getRole() != pyatspi.ROLE_TABLE:
                    stack.extend(node[i] for i in range(node.childCount))
            except Exception:
                continue
    return nodes


def accessible_cells(app_name, timeout, rows):
    """The song grid's column headers and cells, as a screen reader sees them,
    once it shows the given number of rows (the tree fills in as it is read)."""
    def find():
        import pyatspi
        for node in accessible_nodes(app_name):
            try:
                if node.getRole() != pyatspi.ROLE_TABLE:
                    continue
                table = node.queryTable()
            except Exception:
                continue
            cells = [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
                     for r in range(table.nRows)]
            headers = [table.getColumnHeader(c).name if table.getColumnHeader(c) else ""
                       for c in range(table.nColumns)]
            return headers, cells
        return None

    found = wait_for(lambda: (lambda g: g if g and len(g[1]) == rows and all(g[0]) else None)(find()),
                     timeout, 0.5)
    return found or find()


def accessible_names(app_name):
    """The names of every node of the application's accessible tree."""
    names = []
    for node in accessible_nodes(app_name):
        try:
            names.append(node.name or "")
        except Exception:
            continue
    return names


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
    work = tempfile.mkdtemp(prefix="discora-e2e-")
    wm = player = app = bus = None
    try:
        exe = os.path.join(work, "discora")
        shutil.copy2(binary, exe)
        music = os.path.join(work, "music")
        subprocess.run(["bash", make_demo, music], check=True)
        settings = os.path.join(work, "discora.INI")
        with open(settings, "wb") as f:
            f.write(b"[MP3]\r\nDirectory=" + music.encode() + b"/\r\n")

        # The accessibility bus, as a desktop session starts it.
        for launcher in ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"):
            if os.path.exists(launcher):
                bus = subprocess.Popen([launcher, "--launch-immediately"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
                break
        wm = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        # A "player" holding one song open before the program starts.
        song = os.path.join(music, "Zandor-Daylight.mp3")
        player = subprocess.Popen(["sleep", "600"], stdin=open(song, "rb"))

        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        app = subprocess.Popen([exe], cwd=work, env=env)
        wid = wait_for(lambda: xdotool("search", "--name", r"^Discora 1\.5").split("\n")[0], 30)
        check(bool(wid), "the main window appears with the title 'Discora 1.5'")
        if not wid:
            return

        playing = "Discora 1.5  Zandor - Daylight"
        check(wait_for(lambda: window_name(wid) == playing, 30),
              "a song held open by another process names it in the title: %r" % window_name(wid))
        geometry = xdotool("getwindowgeometry", wid)
        check("681x416" in geometry, "the window's client area is 681 x 416: " + geometry.replace("\n", " "))

        grid = accessible_cells("Discora", 30, 12)
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

        info = read_ini(os.path.join(music, "Zandor-Daylight.INI"))
        check(b"UsageCount = 4\r\n" in info and b"Writer     = A. Zandor\r\n" in info,
              "the play was counted in the song information file, other lines unchanged")

        xdotool("windowactivate", "--sync", wid)
        time.sleep(0.5)
        xdotool("key", "--window", wid, "alt+e")
        try:
            app.wait(30)
        except subprocess.TimeoutExpired:
            pass
        check(app.poll() is not None, "Alt+E closes the window and ends the program")

        written = read_ini(settings)
        check(b"[Coordinates]\r\nTop=" in written and b"\r\nLeft=" in written,
              "the settings file got the window position: %r" % written)
        check(b"Directory=" + music.encode() + b"\r\n" in written
              and b"INI_Directory=" + music.encode() + b"\r\n" in written,
              "the music folder is written back without its trailing '/'")
    finally:
        for p in (app, player, wm, bus):
            if p and p.poll() is None:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)

    print("%d passed, %d failed" % (len(passes), len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
