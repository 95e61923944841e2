"""What the end-to-end scripts share: the pass/fail record, waiting, xdotool,
starting the window manager and the accessibility bus, reading the program's
accessible tree, a copy of the program beside the demo music folder, and
closing the program with Alt+E.

Importing it also prepares the script's own environment: every process the
script starts runs in the X server the script runs in, and whatever the
script started is ended when it ends, also when it fails or is stopped."""
import atexit
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

failures = []
passes = []

# Inherited from the caller, these would put the program on another platform
# (offscreen, the caller's Wayland desktop, the caller's accessibility bus)
# or change the sizes the scripts check.
for _name in ("QT_QPA_PLATFORM", "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_QPA_GENERIC_PLUGINS", "WAYLAND_DISPLAY",
              "WAYLAND_SOCKET", "XDG_SESSION_TYPE", "AT_SPI_BUS_ADDRESS", "QT_SCALE_FACTOR",
              "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI"):
    os.environ.pop(_name, None)

# Every process started through start(), each the leader of a session of its
# own, so that what it starts in turn (the accessibility bus's dbus-daemon and
# registry, a launcher's children) can be found and ended with it.
_started = []


def start(args, **kwargs):
    """Popen in a session of its own, ended by stop() or at the latest when
    the script ends."""
    p = subprocess.Popen(args, start_new_session=True, **kwargs)
    _started.append(p)
    return p


def _session(sid):
    """The processes still running in the session sid."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        # After the name: state, ppid, pgrp, session.
        if int(fields[3]) == sid and fields[0] != "Z":
            pids.append(int(entry))
    return pids


def _signal_session(p, sig):
    for pid in _session(p.pid):
        try:
            os.kill(pid, sig)
        except (ProcessLookupError, PermissionError):
            pass


def stop(procs):
    """Ends the processes and everything in their sessions: a polite SIGTERM
    first (the accessibility bus launcher then ends its bus itself), SIGKILL
    for whatever is left after a few seconds."""
    procs = [p for p in procs if p]
    ours = [p for p in procs if p in _started]
    for p in procs:
        if p in ours:
            _signal_session(p, signal.SIGTERM)
        elif p.poll() is None:
            p.terminate()
    end = time.time() + 5
    for p in procs:
        try:
            p.wait(max(0.1, end - time.time()))
        except subprocess.TimeoutExpired:
            pass
    while ours and any(_session(p.pid) for p in ours) and time.time() < end:
        time.sleep(0.1)
    for p in procs:
        if p in ours:
            _signal_session(p, signal.SIGKILL)
        elif p.poll() is None:
            p.kill()
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            pass
        if p in ours and not _session(p.pid):
            _started.remove(p)


# Folders made for a run (runtime folders), removed when the script ends.
_temporary = []


def _at_exit():
    stop(list(reversed(_started)))
    for folder in _temporary:
        shutil.rmtree(folder, ignore_errors=True)


atexit.register(_at_exit)


def _stopped(signum, frame):
    # SIGTERM from ctest's timeout or xvfb-run: leave through the finally
    # blocks and atexit, which end what the script started.
    sys.exit(128 + signum)


for _sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
    signal.signal(_sig, _stopped)


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    (passes if condition else failures).append(what)


def finish():
    """Prints the totals and ends the script, failing if any check failed."""
    print("%d passed, %d failed" % (len(passes), len(failures)))
    sys.exit(1 if failures else 0)


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


def outer_size(wid):
    """The window's width and height with the frame the window manager draws
    around it (its _NET_FRAME_EXTENTS), or None."""
    extents = subprocess.run(["xprop", "-id", wid, "_NET_FRAME_EXTENTS"], capture_output=True, text=True).stdout
    inside = subprocess.run(["xwininfo", "-id", wid], capture_output=True, text=True).stdout
    try:
        left, right, top, bottom = (int(v) for v in extents.split("=")[1].split(","))
        width = int(inside.split("Width:")[1].split()[0])
        height = int(inside.split("Height:")[1].split()[0])
    except (IndexError, ValueError):
        if not window_manager_running():
            sys.stderr.write("no window manager manages the screen\n")
        return None
    return width + left + right, height + top + bottom


def main_window(timeout, step=0.2):
    """The first window whose title starts with 'Discora 1.5', or ""."""
    return wait_for(lambda: xdotool("search", "--name", r"^Discora 1\.5").split("\n")[0], timeout, step)


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


def demo_copy(binary, make_demo, work, trailing_slash=False):
    """Copies the program into work, makes the demo music folder beside it
    and a settings file naming that folder (with a trailing '/' if asked).
    Returns the copy, the music folder and the settings file."""
    exe = os.path.join(work, "discora")
    shutil.copy2(binary, exe)
    music = os.path.join(work, "music")
    subprocess.run(["bash", make_demo, music], check=True)
    settings = os.path.join(work, "discora.INI")
    with open(settings, "wb") as f:
        f.write(b"[MP3]\r\nDirectory=" + music.encode() + (b"/" if trailing_slash else b"") + b"\r\n")
    return exe, music, settings


def start_accessibility_bus():
    """The accessibility bus, as a desktop session starts it (None if absent)."""
    for launcher in ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"):
        if os.path.exists(launcher):
            return start([launcher, "--launch-immediately"], stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    return None


def accessible_env(**extra):
    """The environment with Qt's accessibility switched on, and a runtime
    folder of its own, so that the single-instance guard never hands this copy
    over to a copy another run started; a folder made here is removed when
    the script ends."""
    if "XDG_RUNTIME_DIR" not in extra:
        extra["XDG_RUNTIME_DIR"] = tempfile.mkdtemp(prefix="discora-runtime-")
        _temporary.append(extra["XDG_RUNTIME_DIR"])
    return dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", **extra)


def window_manager_running():
    """Whether a window manager has taken the screen (it names its check
    window on the root window)."""
    root = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True, text=True).stdout
    return "window id #" in root


def start_window_manager():
    """openbox, once it manages the screen. Started again should it end
    before that (what it said is on stderr): on a busy machine it was seen
    to miss, and every window then lacked its frame."""
    for _ in range(3):
        said = tempfile.TemporaryFile()
        wm = start(["openbox"], stdout=subprocess.DEVNULL, stderr=said)
        wait_for(lambda: wm.poll() is not None or window_manager_running(), 30)
        if wm.poll() is None:
            if not window_manager_running():
                sys.stderr.write("openbox runs but has not taken the screen after 30 s\n")
            return wm
        said.seek(0)
        sys.stderr.write("openbox ended (exit code %r) before it managed the screen: %s\n"
                         % (wm.poll(), said.read().decode(errors="replace")))
    return wm


def close_with_alt_e(proc, wid):
    """Alt+E in the window once it has the focus; whether the program ended."""
    xdotool("windowactivate", "--sync", wid)
    time.sleep(0.5)
    xdotool("key", "--window", wid, "alt+e")
    try:
        proc.wait(30)
    except subprocess.TimeoutExpired:
        show_threads(proc)
    return proc.poll() is not None


def show_threads(proc):
    """Where each thread of a program that does not answer is, on stderr
    (where gdb is at hand)."""
    if proc.poll() is not None or not shutil.which("gdb"):
        return
    try:
        out = subprocess.run(["gdb", "-batch", "-p", str(proc.pid), "-ex", "thread apply all bt 30"],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120).stdout
    except (OSError, subprocess.TimeoutExpired):
        return
    sys.stderr.write("The program does not answer; its threads:\n" + out + "\n")


def accessible_nodes(app_name):
    """Every node of the application's accessible tree (tables themselves,
    but not their cells)."""
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


def accessible_names(app_name):
    """The names of every node of the application's accessible tree."""
    names = []
    for node in accessible_nodes(app_name):
        try:
            names.append(node.name or "")
        except Exception:
            continue
    return names


def accessible_grid(app_name, timeout, predicate):
    """The song grid's column headers and cells as a screen reader reads them,
    once predicate(headers, cells) holds (the tree fills in as it is read);
    the last reading, or None, when it never does."""
    def find():
        import pyatspi
        for node in accessible_nodes(app_name):
            try:
                if node.getRole() != pyatspi.ROLE_TABLE:
                    continue
                table = node.queryTable()
                cells = [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
                         for r in range(table.nRows)]
                headers = [table.getColumnHeader(c).name if table.getColumnHeader(c) else ""
                           for c in range(table.nColumns)]
            except Exception:
                continue
            return headers, cells
        return None

    return wait_for(lambda: (lambda g: g if g and predicate(*g) else None)(find()), timeout, 0.5) or find()
