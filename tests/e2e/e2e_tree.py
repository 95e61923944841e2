#!/usr/bin/env python3
"""Starts a copy of discora on a tree library of real songs (nested
Artist/Album (Year)/NN Title files of several formats and one flat
Artist-Title.mp3 at the top), with the song information files in a folder of
their own. The grid shows each song's tags and real length in the library's
order; a song a real player holds open is counted once in its own nested
information file; Ctrl+Shift+T gives every song without an information file
one in the details dialog's layout and fills only the empty keys of the
others, and their lyrics where they have none. The song's information follows
its album folder renamed while the program runs and the song moved to another
folder while it is closed; a play by a sandboxed mpv is counted too.

Usage: e2e_tree.py DISCORA_BINARY AUDIO_FIXTURES_FOLDER
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (accessible_env, accessible_grid, check, close_with_alt_e, finish,  # noqa: E402
                         main_window, read_bytes, start_accessibility_bus, start_window_manager, stop,
                         wait_for, xdotool)
from e2e_support import start  # noqa: E402

SEP = "; ******************************************"

# The songs in the order the grid lists them: artist, album year (the
# original year where the tags have one: Jóga's 1996 puts it before
# Bachelorette's 1997 on the same album, and Post's 1995 before both), album,
# disc, track, title. Per song: its fixture, its path below the music folder,
# the grid's Artist, Title, Time and Year cells (the artist on the first song
# of a run only), and what filling takes from its file: Writer, AlbumName,
# SongYear, AlbumYear, AlbumCDNum, AlbumLabel, lyrics (Playtime is the Time).
SONGS = [
    ("aac-full.m4a", "Björk/Post (1995)/03 Hyperballad.m4a", "Björk", "Hyperballad", " 00:01", " 1995",
     ("Björk", "Post", "1995", "1995", "5016958022820", "One Little Indian",
      "We live on a mountain\nRight at the top")),
    ("mp3-v23-utf16.mp3", "Björk/Homogenic (1997)/03 Jóga.mp3", "", "Jóga", " 00:01", " 1997",
     ("Björk Guðmundsdóttir", "Homogenic", "1997", "1996", "5016958029829", "One Little Indian",
      "Emotional landscapes\nThey puzzle me")),
    ("opus-full.opus", "Björk/Homogenic (1997)/06 Bachelorette.opus", "", "Bachelorette", " 00:01", " 1997",
     ("Björk", "Homogenic", "1997", "1997", "5016958029829", "One Little Indian",
      "I'm a fountain of blood\nin the shape of a girl")),
    ("mp3-vbr.mp3", "Noise/Untitled/01 Three seconds.mp3", "Noise", "Three seconds", " 00:03", " ",
     ("", "", "", "", "", "", "")),
    ("vorbis-other-keys.ogg", "Sigur Rós/Takk... (2005)/02 Glósóli.ogg", "Sigur Rós", "Glósóli", " 00:01",
     " 2005", ("Sigur Rós", "Takk...", "2005", "2005", "TAKK02", "EMI", "Hoppípolla\nmeð blóðnasir")),
    # No tags: the name says artist and title, as in a folder library.
    ("mp3-no-tags.mp3", "Zed-Loose End.mp3", "Zed", "Loose End", " 00:01", " ", ("", "", "", "", "", "", "")),
    ("flac-full.flac", "坂本龍一/Merry Christmas Mr. Lawrence (1983)/01 Merry Christmas Mr. Lawrence.flac",
     "坂本龍一", "Merry Christmas Mr. Lawrence", " 00:01", " 1983",
     ("坂本龍一", "Merry Christmas Mr. Lawrence", "1983", "1983", "4988006543210", "Virgin",
      "First line\n\nThird line")),
]
PLAYED = 0  # Hyperballad: no information file until its play is counted
TYPED = 4  # Glósóli: an information file with values typed in the dialog

TYPED_FILE = ("[Info]\r\nUsageCount = 2\r\nWriter     = Typed Writer\r\nPlaytime   = \r\nAlbumName  = Typed Album\r\n"
              "SongYear   = \r\nAlbumYear  = \r\nAlbumCDNum = \r\nAlbumLabel = Typed Label\r\nLyrics     = Yes\r\n"
              "\r\n" + SEP + "\r\n\r\nTyped words\r\n").encode()


def info_name(path):
    """A song's information file below the information folder: its path with
    .INI for its extension (a song at the top has the folder library's name,
    the same here)."""
    return os.path.splitext(path)[0] + ".INI"


def info_bytes(info, path):
    """The bytes of a song's information file, or None while there is none."""
    name = os.path.join(info, info_name(path))
    return read_bytes(name) if os.path.exists(name) else None


def dialog_layout(time_cell, fields, today):
    """The information file the details dialog saves for a song never
    counted, with the values of its file."""
    writer, album, song_year, album_year, cd, label, lyrics = fields
    keys = [("UsageCount", ""), ("Writer", writer), ("Playtime", time_cell.strip()), ("AlbumName", album),
            ("SongYear", song_year), ("AlbumYear", album_year), ("AlbumCDNum", cd), ("AlbumLabel", label)]
    if lyrics:
        keys.append(("Lyrics", "Yes"))
    lines = [SEP, "; Generated " + today, "; Do not modify manually.", SEP, "", "[Info]"]
    lines += ["%-10s = %s" % key for key in keys]
    lines += ["", SEP, ""] + (lyrics.split("\n") if lyrics else [])
    return ("\r\n".join(lines) + "\r\n").encode()


def holds_open(pid, path):
    try:
        fds = os.listdir("/proc/%d/fd" % pid)
    except OSError:
        return False
    for fd in fds:
        try:
            if os.readlink("/proc/%d/fd/%s" % (pid, fd)) == path:
                return True
        except OSError:
            continue
    return False


def hold_open(song, env):
    """A real player holding the song open, mpv paused on it where mpv runs
    here without a display or sound; else a process that only holds it open.
    The process and what it is."""
    if shutil.which("mpv"):
        mpv = start(["mpv", "--no-video", "--ao=null", "--pause", song], env=env, stdin=subprocess.DEVNULL,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if wait_for(lambda: holds_open(mpv.pid, song), 20):
            return mpv, "mpv"
        stop((mpv,))
    return start(["sh", "-c", 'exec sleep 600 < "$1"', "sh", song], env=env), "a process holding it open"


def hold_open_sandboxed(music, path, env):
    """mpv in a sandbox of its own (bwrap: its own process and mount
    namespace, as Flatpak gives) that sees the music folder at /run/doc/abc,
    paused on the song there; (None, why) where it cannot run."""
    if not shutil.which("bwrap") or not shutil.which("mpv"):
        return None, "a sandboxed mpv (bwrap or mpv missing)"
    inside = "/run/doc/abc/" + path
    mpv = start(["bwrap", "--ro-bind", "/usr", "/usr", "--ro-bind", "/etc", "/etc", "--symlink", "usr/lib", "/lib",
                 "--symlink", "usr/lib64", "/lib64", "--symlink", "usr/bin", "/bin", "--proc", "/proc", "--dev",
                 "/dev", "--tmpfs", "/tmp", "--unshare-pid", "--die-with-parent", "--bind", music, "/run/doc/abc",
                 "mpv", "--no-video", "--ao=null", "--pause", inside],
                env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def holding():
        for pid in os.listdir("/proc"):
            if pid.isdigit() and holds_open(int(pid), inside):
                return True
        return False
    if wait_for(holding, 20):
        return mpv, "a sandboxed mpv"
    stop((mpv,))
    return None, "a sandboxed mpv (bwrap cannot make a sandbox here)"


def main():
    binary, fixtures = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="discora-e2e-tree-")
    wm = bus = app = player = None
    try:
        exe = os.path.join(work, "discora")
        shutil.copy2(binary, exe)
        music, info = os.path.join(work, "music"), os.path.join(work, "info")
        for fixture, path, *_ in SONGS:
            os.makedirs(os.path.dirname(os.path.join(music, path)), exist_ok=True)
            shutil.copyfile(os.path.join(fixtures, fixture), os.path.join(music, path))
        typed_info = os.path.join(info, info_name(SONGS[TYPED][1]))
        os.makedirs(os.path.dirname(typed_info))
        with open(typed_info, "wb") as f:
            f.write(TYPED_FILE)
        with open(os.path.join(work, "discora.INI"), "wb") as f:
            f.write(("[MP3]\r\nDirectory=%s\r\nINI_Directory=%s\r\nLibrary=Tree\r\n" % (music, info)).encode())
        home = os.path.join(work, "home")
        env = accessible_env(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                             XDG_DATA_HOME=os.path.join(home, ".local/share"),
                             XDG_CACHE_HOME=os.path.join(home, ".cache"))
        bus = start_accessibility_bus()
        wm = start_window_manager()

        app = start([exe], cwd=work, env=env)
        wid = main_window(30)
        check(bool(wid), "the main window appears")
        if not wid:
            return

        expected_rows = [[artist, title, time_cell, year] for _, _, artist, title, time_cell, year, _ in SONGS]

        def shown(cells):
            return [[r[0], r[1], r[2], r[4]] for r in cells]
        grid = accessible_grid("Discora", 30, lambda headers, cells: shown(cells) == expected_rows)
        cells = grid[1] if grid else []
        check(shown(cells) == expected_rows, "every song with its tags' artist, title, real length and year, "
              "in the library's order: %r" % shown(cells))

        _, path, _, title, *_ = SONGS[PLAYED]
        check(info_bytes(info, path) is None, "%s has no information file before it plays" % title)
        player, what = hold_open(os.path.join(music, path), env)
        counted = b"[Info]\r\nUsageCount=1\r\nPlaytime=00:01\r\n"
        # The folder watch sees every folder of the tree: the play is
        # noticed at once, and so is its end.
        check(wait_for(lambda: info_bytes(info, path) == counted, 90),
              "the play of %s, held open by %s, is counted in its own nested information file with its "
              "real length: %r" % (title, what, info_bytes(info, path)))

        def row_of(song_title, cells):
            return next((r for r in cells if r[1] == song_title), None)
        grid = accessible_grid("Discora", 30, lambda h, c: (row_of(title, c) or [""] * 6)[3] == "Lock")
        row = row_of(title, grid[1] if grid else [])
        check(row is not None and row[3] == "Lock" and row[5] == "    1",
              "the grid shows %s as playing, counted once: %r" % (title, row))
        stop((player,))
        grid = accessible_grid("Discora", 90, lambda h, c: (row_of(title, c) or ["", "", "", "Lock"])[3] != "Lock")
        row = row_of(title, grid[1] if grid else [])
        check(row is not None and row[3] != "Lock" and info_bytes(info, path) == counted,
              "once the player lets go the play stays counted once: %r" % (row,))

        today = time.strftime("%d-%m-%Y")
        xdotool("windowactivate", "--sync", wid)
        time.sleep(0.5)
        xdotool("key", "--window", wid, "ctrl+shift+t")
        expected = {}
        for k, (_, path, _, _, time_cell, _, fields) in enumerate(SONGS):
            writer, album, song_year, album_year, cd, label, _ = fields
            if k == PLAYED:
                # Filled as a play's count is: each missing key after the
                # keys there; then the lyrics with their marker, as the
                # details dialog lays them out.
                expected[path] = counted + ("Writer=%s\r\nAlbumName=%s\r\nSongYear=%s\r\nAlbumYear=%s\r\n"
                                            "AlbumCDNum=%s\r\nAlbumLabel=%s\r\nLyrics     = Yes\r\n\r\n%s\r\n\r\n"
                                            "%s\r\n" % (writer, album, song_year, album_year, cd, label, SEP,
                                                          fields[6].replace("\n", "\r\n"))).encode()
            elif k == TYPED:
                # The empty keys filled in place, every typed value kept.
                filled = TYPED_FILE.decode()
                for key, value in (("Playtime   = ", time_cell.strip()), ("SongYear   = ", song_year),
                                   ("AlbumYear  = ", album_year), ("AlbumCDNum = ", cd)):
                    filled = filled.replace(key + "\r\n", key + value + "\r\n")
                expected[path] = filled.encode()
            else:
                expected[path] = dialog_layout(time_cell, fields, today)
        wait_for(lambda: all(info_bytes(info, p) == e for p, e in expected.items()), 30)
        for path, content in expected.items():
            check(info_bytes(info, path) == content,
                  "after Ctrl+Shift+T, %s: %r" % (info_name(path), info_bytes(info, path)))
        stray = [os.path.join(d, n) for d, _, names in os.walk(music) for n in names if n.upper().endswith(".INI")]
        check(stray == [], "no information file is written in the music folder: %r" % stray)

        # The album's folder renamed while the program runs: the played
        # song's information file goes along, below the information folder.
        _, path, _, title, *_ = SONGS[PLAYED]
        filled = expected[path]
        old_path, path = path, path.replace("Post (1995)", "Post")
        os.rename(os.path.join(music, os.path.dirname(old_path)), os.path.join(music, os.path.dirname(path)))
        check(wait_for(lambda: info_bytes(info, path) == filled and info_bytes(info, old_path) is None, 30),
              "a renamed album folder takes %s's information file along: %r" % (title, info_bytes(info, path)))

        # A sandboxed player (its own mount namespace, the music folder at a
        # path of its own) plays the moved song: counted once more.
        player, what = hold_open_sandboxed(music, path, env)
        twice = filled.replace(b"UsageCount=1", b"UsageCount=2")
        check(player is not None and wait_for(lambda: info_bytes(info, path) == twice, 90),
              "the play of %s by %s is counted in its information file: %r"
              % (title, what, info_bytes(info, path)))
        stop((player,))
        player = None
        check(close_with_alt_e(app, wid), "Alt+E closes the window and ends the program")

        # Moved to another artist's folder while the program is closed: the
        # next start knows the song again by its file.
        old_path, path = path, "Various/" + os.path.basename(path)
        os.makedirs(os.path.join(music, "Various"))
        os.rename(os.path.join(music, old_path), os.path.join(music, path))
        app = start([exe], cwd=work, env=env)
        wid = main_window(30)
        check(wait_for(lambda: info_bytes(info, path) == twice and info_bytes(info, old_path) is None, 30),
              "a song moved between folders while the program was closed keeps its information file: %r"
              % (info_bytes(info, path),))
        check(bool(wid) and close_with_alt_e(app, wid), "Alt+E closes the window again")
    finally:
        stop((app, player, wm, bus))
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
    finish()
