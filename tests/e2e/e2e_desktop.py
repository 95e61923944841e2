#!/usr/bin/env python3
"""The program as a desktop program, in the X server we run in with a window
manager: the about dialog and its version information; a second copy of the
same executable name brings the first, minimised, back to the front and ends
without a window or a settings file, while a copy under another name runs
alongside; and "cmake --install" into a temporary prefix gives a valid menu
entry and icons, and an installed copy run by an ordinary user keeps its
settings in the user's configuration folder.

Usage: e2e_desktop.py DISCORA_BINARY BUILD_DIR
"""
import os
import pwd
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (check, close_with_alt_e, finish, outer_size, start_window_manager, stop, wait_for,  # noqa: E402
                         xdotool)
from e2e_support import start  # noqa: E402

def windows(pattern):
    return [w for w in xdotool("search", "--name", pattern).split("\n") if w]


def net_wm_state(wid):
    r = subprocess.run(["xprop", "-id", wid, "_NET_WM_STATE"], capture_output=True, text=True)
    return r.stdout


def minimised(wid):
    return "_NET_WM_STATE_HIDDEN" in net_wm_state(wid)


def active_window():
    return xdotool("getactivewindow")


def press(wid, key):
    """A real key press (XTEST) in the window, once it has the focus."""
    xdotool("windowactivate", "--sync", wid)
    time.sleep(0.3)
    xdotool("key", key)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def private_runtime(path, uid=None, gid=None):
    os.makedirs(path, exist_ok=True)
    if uid is not None:
        os.chown(path, uid, gid)
    os.chmod(path, 0o700)
    return path


def about_and_instances(binary, work, env):
    a = os.path.join(work, "a")
    b = os.path.join(work, "b")
    music = os.path.join(work, "music")
    for d in (a, b, music):
        os.makedirs(d)
    exe_a = os.path.join(a, "discora")
    exe_b = os.path.join(b, "discora")
    exe_other = os.path.join(a, "discora-other")
    for exe in (exe_a, exe_b, exe_other):
        shutil.copy2(binary, exe)
    with open(os.path.join(a, "discora.INI"), "wb") as f:
        f.write(b"[MP3]\r\nDirectory=" + music.encode() + b"\r\n")

    first = start([exe_a], cwd=a, env=env)
    procs = [first]
    try:
        wid = wait_for(lambda: (windows(r"^Discora 1\.5$") or [""])[0], 30)
        check(bool(wid), "the first copy shows its window")
        if not wid:
            return procs

        # The about dialog and the version information.
        xdotool("windowactivate", "--sync", wid)
        time.sleep(0.5)
        xdotool("key", "--window", wid, "alt+a")
        about = wait_for(lambda: (windows(r"^Program information$") or [""])[0], 20)
        check(bool(about), "Alt+A opens the window 'Program information'")
        if about:
            wait_for(lambda: outer_size(about) == (385, 214), 15)
            size = outer_size(about)
            check(size == (385, 214), "the about window is 385 x 214 with its frame: %r" % (size,))
            xdotool("mousemove", "--window", about, "100", "56")
            xdotool("click", "--repeat", "2", "--delay", "100", "1")
            info = wait_for(lambda: (windows(r"^Version information$") or [""])[0], 20)
            check(bool(info), "a double click on the version line shows 'Version information'")
            if info:
                press(info, "Return")
                check(wait_for(lambda: not windows(r"^Version information$"), 20), "Enter closes the version information")
            check(bool(windows(r"^Program information$")), "the about window is still open")
            press(about, "Escape")
            time.sleep(1)
            check(bool(windows(r"^Program information$")), "Escape leaves the about window open")
            press(about, "Return")
            check(wait_for(lambda: not windows(r"^Program information$"), 20), "Enter closes the about window")

        # Minimised, then a second copy of the same name from another folder.
        xdotool("windowminimize", "--sync", wid)
        check(wait_for(lambda: minimised(wid), 20), "the first copy's window is minimised")
        second = start([exe_b], cwd=b, env=env)
        procs.append(second)
        try:
            code = second.wait(30)
        except subprocess.TimeoutExpired:
            code = None
        check(code == 0, "the second copy ends by itself with exit code 0 (got %r)" % code)
        check(not os.path.exists(os.path.join(b, "discora.INI")), "the second copy wrote no settings file")
        check(wait_for(lambda: not minimised(wid), 20), "the first copy's window is no longer minimised")
        check(wait_for(lambda: active_window() == wid, 20),
              "the first copy's window is the active one (active %r, ours %r)" % (active_window(), wid))
        check(len(windows(r"^Discora 1\.5$")) == 1, "there is still exactly one Discora window")

        # Another executable name is another program.
        other = start([exe_other], cwd=a, env=env)
        procs.append(other)
        check(wait_for(lambda: len(windows(r"^Discora 1\.5$")) == 2, 30),
              "a copy named 'discora-other' opens a window of its own")
        others = [w for w in windows(r"^Discora 1\.5$") if w != wid]
        if others:
            # With the other program in front, a second copy again brings
            # the first one forward, minimised or not.
            xdotool("windowactivate", "--sync", others[0])
            check(wait_for(lambda: active_window() == others[0], 20), "the other copy's window is in front")
            again = start([exe_b], cwd=b, env=env)
            procs.append(again)
            try:
                code = again.wait(30)
            except subprocess.TimeoutExpired:
                code = None
            check(code == 0, "another second copy ends with exit code 0 (got %r)" % code)
            check(wait_for(lambda: active_window() == wid, 20),
                  "the first copy's window comes in front of the other program's")
            check(close_with_alt_e(other, others[0]), "the other copy closes")

        check(close_with_alt_e(first, wid), "Alt+E closes the first copy")
        check(os.path.exists(os.path.join(a, "discora.INI")) and b"[Coordinates]" in open(os.path.join(a, "discora.INI"), "rb").read(),
              "the first copy wrote its settings file beside itself at close")
        check(not os.path.exists(os.path.join(b, "discora.INI")), "still no settings file beside the second copy")
    finally:
        pass
    return procs


def installed(build_dir, work, env):
    prefix = os.path.join(work, "prefix")
    r = subprocess.run(["cmake", "--install", build_dir, "--prefix", prefix], capture_output=True, text=True)
    check(r.returncode == 0, "cmake --install into a temporary prefix: " + r.stderr.strip())
    exe = os.path.join(prefix, "bin", "discora")
    desktop = os.path.join(prefix, "share", "applications", "discora.desktop")
    check(os.access(exe, os.X_OK), "the program is installed as bin/discora")
    check(os.path.exists(desktop), "the menu entry is installed as share/applications/discora.desktop")
    if os.path.exists(desktop):
        v = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
        check(v.returncode == 0 and not v.stdout.strip(), "desktop-file-validate accepts it: " + v.stdout + v.stderr)
        text = open(desktop, encoding="utf-8").read()
        for line in ("Exec=discora", "Icon=discora", "Categories=AudioVideo;Audio;", "Name=Discora", "Type=Application"):
            check(("\n" + line + "\n") in text, "the entry has " + line)
    for size in (16, 22, 24, 32, 48, 64, 128, 256):
        png = os.path.join(prefix, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps", "discora.png")
        check(png_size(png) == (size, size), "icon %dx%d installed (%r)" % (size, size, png_size(png)))

    # An ordinary user: "nobody" when we are root, else ourselves with the
    # program's folder made read-only as an installed one is.
    home = os.path.join(work, "home")
    os.makedirs(home)
    for d in (work, prefix, os.path.join(prefix, "bin")):
        os.chmod(d, 0o755)
    os.chmod(os.path.join(prefix, "bin"), 0o555)
    user_env = dict(env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "cfg"))
    wrap = []
    uid = gid = None
    if os.geteuid() == 0:
        nobody = pwd.getpwnam("nobody")
        uid, gid = nobody.pw_uid, nobody.pw_gid
        os.chown(home, uid, gid)
        wrap = ["setpriv", "--reuid=%d" % uid, "--regid=%d" % gid, "--clear-groups", "--"]
        if env.get("XAUTHORITY"):
            xauth = os.path.join(work, "xauthority")
            shutil.copy(env["XAUTHORITY"], xauth)
            os.chmod(xauth, 0o644)
            user_env["XAUTHORITY"] = xauth
    user_env["XDG_RUNTIME_DIR"] = private_runtime(os.path.join(home, "runtime"), uid, gid)

    def run_and_close(program, what):
        p = start(wrap + [program], cwd=home, env=user_env)
        try:
            wid = wait_for(lambda: (windows(r"^Discora 1\.5$") or [""])[0], 30)
            check(bool(wid), what + ": the window appears")
            if wid:
                check(close_with_alt_e(p, wid), what + ": Alt+E closes it")
        finally:
            stop([p])

    run_and_close(exe, "installed copy run by an ordinary user")
    in_config = os.path.join(home, "cfg", "discora", "discora.INI")
    check(os.path.exists(in_config) and b"[Coordinates]" in open(in_config, "rb").read(),
          "its settings went to $XDG_CONFIG_HOME/discora/discora.INI")
    check(not os.path.exists(os.path.join(prefix, "bin", "discora.INI")), "nothing was written beside the installed program")
    if os.path.exists(in_config):
        st = os.stat(os.path.dirname(in_config))
        check(st.st_mode & 0o777 == 0o700 and (uid is None or st.st_uid == uid),
              "the configuration folder is the user's own (mode %o)" % (st.st_mode & 0o777))

    # A copy in a folder the user may write keeps its settings beside it.
    own = os.path.join(home, "mybin")
    os.makedirs(own)
    shutil.copy2(exe, os.path.join(own, "discora"))
    if uid is not None:
        for p in (own, os.path.join(own, "discora")):
            os.chown(p, uid, gid)
    before = open(in_config, "rb").read() if os.path.exists(in_config) else None
    run_and_close(os.path.join(own, "discora"), "a copy in the user's own folder")
    check(os.path.exists(os.path.join(own, "discora.INI")), "its settings file is beside it")
    check((open(in_config, "rb").read() if os.path.exists(in_config) else None) == before,
          "the configuration folder's settings file was left alone")
    os.chmod(os.path.join(prefix, "bin"), 0o755)


def main():
    binary, build_dir = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="discora-e2e-desktop-")
    wm = None
    procs = []
    try:
        # The copies of this test talk to each other only.
        env = dict(os.environ, XDG_RUNTIME_DIR=private_runtime(os.path.join(work, "runtime")))
        wm = start_window_manager()
        procs = about_and_instances(binary, work, env)
        installed(build_dir, work, env)
    finally:
        stop(procs + [wm])
        subprocess.run(["chmod", "-R", "u+w", work])
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
    finish()
