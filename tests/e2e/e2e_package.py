#!/usr/bin/env python3
"""The Debian package as a user meets it: cpack makes it, its metainfo and
lintian are clean, "apt-get install ./discora_..._amd64.deb" puts every file
where it belongs, the installed /usr/bin/discora started by an ordinary user
with a ~/Music of demo songs shows its window with the songs, a music
folder laid out as taggers lay it out (nested, several formats) is listed
whole with its tags, and "apt-get remove" leaves no file of the package
behind.

Needs root (apt-get, useradd); skips otherwise, and when a discora package
is installed already (the test would replace and then remove it). The user
the test creates and the package it installs are removed also when it fails.

Usage: e2e_package.py BUILD_DIR VERSION MAKE_DEMO_SCRIPT AUDIO_FIXTURES_FOLDER
       e2e_package.py --as-user HOME   (the part run as the ordinary user)
"""
import os
import pwd
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (accessible_env, accessible_grid, accessible_names, check, close_with_alt_e, finish,  # noqa: E402
                         main_window, read_bytes, start_accessibility_bus, start_window_manager, stop, wait_for,
                         xdotool)
from e2e_support import start  # noqa: E402

SKIP = 77
APP_ID = "org.discora.Discora"

# A music folder as taggers lay it out: real songs of several formats, nested
# and one flat, by their fixtures; and what the grid shows of each, in the
# library's order: artist, title, time and year.
LIBRARY = [
    ("aac-full.m4a", "Björk/Post (1995)/03 Hyperballad.m4a", ["Björk", "Hyperballad", " 00:01", " 1995"]),
    ("vorbis-other-keys.ogg", "Sigur Rós/Takk... (2005)/02 Glósóli.ogg",
     ["Sigur Rós", "Glósóli", " 00:01", " 2005"]),
    ("mp3-no-tags.mp3", "Zed-Loose End.mp3", ["Zed", "Loose End", " 00:01", " "]),
    ("flac-full.flac", "坂本龍一/Merry Christmas Mr. Lawrence (1983)/01 Merry Christmas Mr. Lawrence.flac",
     ["坂本龍一", "Merry Christmas Mr. Lawrence", " 00:01", " 1983"]),
]


def skip(why):
    print("SKIP " + why, flush=True)
    sys.exit(SKIP)


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def status():
    """dpkg's status of the package, "" when dpkg does not know it."""
    r = run(["dpkg-query", "-W", "-f=${Status}", "discora"])
    return r.stdout if r.returncode == 0 else ""


def installed():
    return status().endswith(" installed")


def shown(cells):
    """Artist, title, time and year of each row."""
    return [[r[0], r[1], r[2], r[4]] for r in cells]


def songs_listed(count):
    grid = accessible_grid("Discora", 30, lambda headers, cells: len(cells) == count)
    return len(grid[1]) if grid else 0


def choose_folder(wid, folder):
    """F&older... (Alt+O), then in the real folder chooser: the folder typed
    and Enter, or Escape for None. True when the chooser came up."""
    chooser = ""
    for _ in range(3):
        xdotool("windowactivate", "--sync", wid)
        xdotool("key", "--clearmodifiers", "alt+o")
        chooser = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^Choose the music folder$"), 10)
        if chooser:
            break
    if not chooser:
        return False
    chooser = chooser.split("\n")[0]
    xdotool("windowactivate", "--sync", chooser)
    if folder is None:
        xdotool("keydown", "--window", chooser, "Escape")
        xdotool("keyup", "--window", wid, "Escape")
    else:
        xdotool("key", "--window", chooser, "ctrl+a")
        xdotool("type", "--window", chooser, "--delay", "20", folder)
        for _ in range(3):
            # A first Return may only take the completion the chooser offers.
            xdotool("keydown", "--window", chooser, "Return")
            xdotool("keyup", "--window", wid, "Return")
            if wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Choose the music folder$"), 2):
                break
    wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Choose the music folder$"), 10)
    return True


def first_run_in(home, music, env):
    """The installed program started with no settings file, the desktop's
    user-dirs.dirs naming ~/music as the music folder; it and its window."""
    os.remove(os.path.join(home, ".config", "discora", "discora.INI"))
    with open(os.path.join(home, ".config", "user-dirs.dirs"), "w") as f:
        f.write('XDG_MUSIC_DIR="$HOME/%s"\n' % music)
    app = start(["/usr/bin/discora"], cwd=home, env=env)
    return app, main_window(60)


def as_user(home):
    """Runs as the ordinary user, in a session bus of its own: the installed
    program in the X server with no settings file, its songs, and choosing
    other folders through the real folder chooser; then once more with the
    desktop's user-dirs.dirs naming another music folder."""
    bus = start_accessibility_bus()
    app = None
    settings = os.path.join(home, ".config", "discora", "discora.INI")
    env = accessible_env(XDG_RUNTIME_DIR=os.path.join(home, "runtime"))
    try:
        app = start(["/usr/bin/discora"], cwd=home, env=env)
        wid = main_window(60)
        check(bool(wid), "the installed program shows its window 'Discora 1.5'")
        if not wid:
            return
        check(songs_listed(12) == 12, "with no settings file, the twelve songs of ~/Music are listed")

        other = os.path.join(home, "Other music")
        check(choose_folder(wid, other), "F&older... opens the folder chooser 'Choose the music folder'")
        check(songs_listed(2) == 2, "the two songs of the chosen folder are listed")
        written = read_bytes(settings) if os.path.exists(settings) else b""
        check(b"Directory=" + other.encode() + b"\r\nINI_Directory=" + other.encode() in written,
              "the settings file names the chosen folder at once: %r" % written)

        check(choose_folder(wid, None), "F&older... again, and Escape")
        check(songs_listed(2) == 2 and read_bytes(settings) == written, "Cancel changes neither list nor settings")

        locked = os.path.join(home, "Locked")
        check(choose_folder(wid, locked), "F&older... to a folder the user may not read")
        text = "Unable to read %s: Permission denied." % locked
        check(wait_for(lambda: text in accessible_names("Discora"), 20), "the error box names the folder")
        box = next((b for b in xdotool("search", "--name", "^Discora 1\\.5$").split("\n") if b and b != wid), "")
        if box:
            xdotool("keydown", "--window", box, "Return")
            xdotool("keyup", "--window", wid, "Return")
        check(wait_for(lambda: text not in accessible_names("Discora"), 20), "Enter closes the error box")
        check(songs_listed(2) == 2 and read_bytes(settings) == written, "the old folder and settings are kept")
        check(close_with_alt_e(app, wid), "Alt+E closes the window")
        stop([app])

        # The desktop names another music folder; no settings file yet.
        app, wid = first_run_in(home, "Other music", env)
        check(bool(wid) and songs_listed(2) == 2, "with user-dirs.dirs naming another folder, its songs are listed")
        if wid:
            check(close_with_alt_e(app, wid), "Alt+E closes the window again")
        stop([app])

        # A newcomer's real library: songs in subfolders, of other formats.
        app, wid = first_run_in(home, "Music library", env)
        expected = [row for _, _, row in LIBRARY]
        grid = accessible_grid("Discora", 60, lambda headers, cells: shown(cells) == expected) if wid else None
        check(grid is not None and shown(grid[1]) == expected,
              "a first run on a nested library lists every song with its tags: %r" % (shown(grid[1]) if grid else None))
        if wid:
            check(close_with_alt_e(app, wid), "Alt+E closes the window a third time")
        written = read_bytes(settings) if os.path.exists(settings) else b""
        check(b"Library=Tree\r\n" in written, "closed, the settings file keeps it a tree library: %r" % written)
    finally:
        stop([app, bus])


def build_and_inspect(build_dir, deb, work):
    r = run(["cpack", "-G", "DEB"], cwd=build_dir)
    check(r.returncode == 0 and os.path.exists(deb), "cpack -G DEB makes %s: %s" % (os.path.basename(deb), r.stderr.strip()))
    if not os.path.exists(deb):
        return False
    control = run(["dpkg-deb", "-f", deb, "Depends"]).stdout
    check("xdg-utils" in control and "libqt6widgets6" in control,
          "it depends on xdg-utils and the Qt libraries the program links: " + control.strip())

    tree = os.path.join(work, "tree")
    run(["dpkg-deb", "-x", deb, tree])
    metainfo = os.path.join(tree, "usr/share/metainfo/%s.metainfo.xml" % APP_ID)
    v = run(["appstreamcli", "validate", "--no-net", metainfo])
    check(v.returncode == 0, "appstreamcli validate --no-net accepts the metainfo: " + (v.stdout + v.stderr).strip())

    # lintian leaves a file of its own in TMPDIR: in work, it goes with work.
    lint = run(["lintian", deb], env=dict(os.environ, TMPDIR=work))
    tags = [line for line in lint.stdout.splitlines() if line[:2] in ("E:", "W:")]
    check(lint.returncode == 0 and not tags, "lintian reports no error or warning: %r" % tags)
    return True


def check_installed(deb):
    r = run(["apt-get", "install", "-y", deb], env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
    check(r.returncode == 0 and installed(), "apt-get install %s: %s" % (deb, r.stderr.strip()[-300:]))
    listed = run(["dpkg", "-L", "discora"]).stdout.split("\n")
    expected = ["/usr/bin/discora", "/usr/share/applications/discora.desktop",
                "/usr/share/metainfo/%s.metainfo.xml" % APP_ID, "/usr/share/man/man1/discora.1.gz",
                "/usr/share/doc/discora/copyright", "/usr/share/doc/discora/changelog.gz"]
    expected += ["/usr/share/icons/hicolor/%dx%d/apps/discora.png" % (s, s) for s in (16, 22, 24, 32, 48, 64, 128, 256)]
    for path in expected:
        check(path in listed and os.path.isfile(path), "the package installed " + path)
    return [p for p in listed if p.startswith("/") and not os.path.isdir(p)] + ["/usr/share/doc/discora"]


def scripts_for_user(work):
    """This script and what it imports, copied to a folder of work that the
    ordinary user can read: the sources may be where only root may look
    (root's home is closed to others). Returns the copy of this script."""
    here = os.path.dirname(os.path.abspath(__file__))
    folder = os.path.join(work, "scripts")
    os.makedirs(folder)
    for name in (os.path.basename(__file__), "e2e_support.py"):
        shutil.copy(os.path.join(here, name), folder)
        os.chmod(os.path.join(folder, name), 0o644)
    os.chmod(folder, 0o755)
    return os.path.join(folder, os.path.basename(__file__))


def run_as_user(work, make_demo, fixtures, env):
    """Creates an ordinary user with a home in work, a ~/Music of demo songs
    and a tagger's library of real songs, runs the user's part as that user,
    removes the user."""
    name = "dscr-e2e-%d" % os.getpid()
    home = os.path.join(work, "home")
    r = run(["useradd", "--no-create-home", "--home-dir", home, "--shell", "/usr/sbin/nologin", name])
    check(r.returncode == 0, "useradd %s: %s" % (name, r.stderr.strip()))
    if r.returncode != 0:
        return
    part = None
    try:
        user = pwd.getpwnam(name)
        os.makedirs(os.path.join(home, "runtime"))
        subprocess.run(["bash", make_demo, os.path.join(home, "Music")], check=True, stdout=subprocess.DEVNULL)
        config = os.path.join(home, ".config")
        os.makedirs(config)
        other = os.path.join(home, "Other music")
        os.makedirs(other)
        for song in ("Wren-First Light.mp3", "Wren-Low Tide.mp3"):
            shutil.copy(os.path.join(home, "Music", "Zandor-Daylight.mp3"), os.path.join(other, song))
        for fixture, path, _ in LIBRARY:
            song = os.path.join(home, "Music library", path)
            os.makedirs(os.path.dirname(song), exist_ok=True)
            shutil.copy(os.path.join(fixtures, fixture), song)
        os.makedirs(os.path.join(home, "Locked"))
        subprocess.run(["chown", "-R", "%d:%d" % (user.pw_uid, user.pw_gid), home], check=True)
        os.chmod(os.path.join(home, "Locked"), 0)
        os.chmod(os.path.join(home, "runtime"), 0o700)
        user_env = {k: v for k, v in env.items() if k in ("PATH", "DISPLAY", "LANG", "LC_ALL")}
        user_env.update(HOME=home, USER=name, LOGNAME=name, XDG_CONFIG_HOME=config)
        if env.get("XAUTHORITY"):
            xauth = os.path.join(work, "xauthority")
            shutil.copy(env["XAUTHORITY"], xauth)
            os.chmod(xauth, 0o644)
            user_env["XAUTHORITY"] = xauth
        part = start(["setpriv", "--reuid=%d" % user.pw_uid, "--regid=%d" % user.pw_gid, "--init-groups", "--",
                      "dbus-run-session", "--", "/usr/bin/python3", "-B", scripts_for_user(work), "--as-user", home],
                     cwd=home, env=user_env)
        try:
            part.wait(240)
        except subprocess.TimeoutExpired:
            pass
        check(part.returncode == 0, "the installed program run by the ordinary user %s: every check above passed" % name)
    finally:
        stop([part])
        # Whatever the user's session left running (the accessibility bus's
        # dbus-daemon detaches from it) ends with the user.
        run(["pkill", "-KILL", "-u", name])
        r = run(["userdel", name])
        check(r.returncode == 0, "userdel %s: %s" % (name, r.stderr.strip()))


def main():
    build_dir, version, make_demo, fixtures = sys.argv[1:5]
    if os.geteuid() != 0:
        skip("the package test installs a package and creates a user: run it as root")
    if installed():
        skip("a discora package is installed on this machine; remove it first (sudo apt remove discora)")
    deb = os.path.join(os.path.abspath(build_dir), "discora_%s_amd64.deb" % version)
    work = tempfile.mkdtemp(prefix="discora-e2e-package-")
    os.chmod(work, 0o755)
    wm = None
    try:
        if not build_and_inspect(build_dir, deb, work):
            return
        files = check_installed(deb)
        wm = start_window_manager()
        run_as_user(work, make_demo, os.path.abspath(fixtures), os.environ)

        r = run(["apt-get", "remove", "-y", "discora"], env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        check(r.returncode == 0 and not installed(), "apt-get remove -y discora: " + r.stderr.strip()[-300:])
        left = [p for p in files if os.path.lexists(p)]
        check(len(files) > 10 and not left, "no file of the package is left (%d listed): %r" % (len(files), left))
    finally:
        stop([wm])
        # Whatever this run left, the package or its configuration files.
        if status() and not status().endswith(" not-installed"):
            run(["dpkg", "--purge", "discora"])
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--as-user"]:
        as_user(sys.argv[2])
    else:
        main()
    finish()
