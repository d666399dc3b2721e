"""The real console on a real display server, for the desktop tests.

Xvfb gives an X display; the accessibility bus (at-spi-bus-launcher, on the session bus that
dbus-run-session gives the test run) lets the tests read the window as a screen reader does;
xdotool clicks and types as an operator does; python-xlib reads what the window manager would see
(titles, icons, places) and sends the close request a window manager sends. A board on a
pseudo-terminal sends replies a character at a time at 9600 baud.
"""

import os
import pty
import shutil
import subprocess
import tempfile
import termios
import threading
import time
import tty

import pyatspi
from gi.repository import GLib
from Xlib import X, Xatom, display as xdisplay, protocol

CHARACTER_TIME = 10 / 9600          # seconds a character takes at 9600 baud, 8-N-1


def wait_for(predicate, timeout=10.0, step=0.05):
    """Polls until predicate() is true; returns its last value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        pump(step)


def pump(seconds):
    """Lets AT-SPI events arrive for a while."""
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.01)


class Display:
    """An Xvfb server of its own, and the accessibility bus on the session bus."""

    def __init__(self, width=1280, height=1024):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp"], pass_fds=[write_end],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()
        self.x = xdisplay.Display(self.name)
        self.size = (width, height)

    def close(self):
        self.x.close()
        self.xvfb.terminate()
        self.xvfb.wait(5)

    # --- what the window manager sees --------------------------------------------------------

    def windows(self, pid):
        """The mapped top-level windows of a process: [(window, title)]."""
        found = []
        net_pid = self.x.intern_atom("_NET_WM_PID")
        for window in self.x.screen().root.query_tree().children:
            try:
                attributes = window.get_attributes()
                owner = window.get_full_property(net_pid, Xatom.CARDINAL)
                if attributes.map_state != X.IsViewable or not owner or owner.value[0] != pid:
                    continue
                title = self.title(window)
            except Exception:
                continue   # a window that closed while it was looked at
            if title is not None:
                found.append((window, title))
        return found

    def title(self, window):
        name = window.get_full_property(self.x.intern_atom("_NET_WM_NAME"),
                                        self.x.intern_atom("UTF8_STRING"))
        return name.value.decode("utf-8") if name else None

    def has_icon(self, window):
        return window.get_full_property(self.x.intern_atom("_NET_WM_ICON"),
                                        Xatom.CARDINAL) is not None

    def frame(self, window):
        """(x, y, width, height) on the screen; None for a window that has just gone."""
        try:
            geometry = window.get_geometry()
            at = window.translate_coords(self.x.screen().root, 0, 0)
        except Exception:
            return None
        return (-at.x, -at.y, geometry.width, geometry.height)

    def request_close(self, window):
        """What a window manager sends when its close box is clicked: WM_DELETE_WINDOW."""
        protocols = self.x.intern_atom("WM_PROTOCOLS")
        delete = self.x.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event)
        self.x.flush()

    # --- the operator's hands ----------------------------------------------------------------

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *map(str, arguments)], check=True,
                       env={**os.environ, "DISPLAY": self.name})

    def click(self, x, y):
        self.xdotool("mousemove", "--sync", x, y, "click", "1")

    def key(self, window, keys):
        self.xdotool("windowfocus", "--sync", window.id, "key", keys)


class Kestrel:
    """The console's executable, copied into a directory of its own (its log.txt is written
    beside it), started on the display."""

    def __init__(self, executable, display, arguments=(), accessible=True, folder=None, path=None):
        # A folder of an earlier run (its log.txt and bench records) may be given to run in again.
        self.dir = folder or tempfile.mkdtemp(prefix="kestrel-desktop-")
        self.executable = os.path.join(self.dir, "kestrel")
        shutil.copy(executable, self.executable)
        env = {**os.environ, "DISPLAY": display.name, "QT_QPA_PLATFORM": "xcb",
               "LC_ALL": "C.UTF-8", "HOME": self.dir}
        env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        # The bench records and the settings are under HOME, the run's own folder.
        for name in ("XDG_DATA_HOME", "XDG_CONFIG_HOME"):
            env.pop(name, None)
        if path:
            env["PATH"] = path + os.pathsep + env["PATH"]
        if accessible:
            env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.errors = open(os.path.join(self.dir, "stderr.txt"), "wb")
        self.env = env
        self.process = subprocess.Popen([self.executable, *arguments], cwd=self.dir, env=env,
                                        stdout=subprocess.DEVNULL, stderr=self.errors)
        self.display = display
        self.app = None

    @property
    def pid(self):
        return self.process.pid

    def running(self):
        return self.process.poll() is None

    def ended_within(self, seconds):
        try:
            self.process.wait(seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def stop(self):
        if self.running():
            self.process.kill()
            self.process.wait(5)
        self.errors.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def window(self, title, timeout=10.0):
        """The mapped window with exactly this title."""
        def find():
            for window, shown in self.display.windows(self.pid):
                if shown == title:
                    return window
            return None
        return wait_for(find, timeout)

    def titles(self):
        return sorted(title for _, title in self.display.windows(self.pid))

    def ready(self):
        """Waits for the main window with its splash screens gone."""
        main = self.window("KESTREL Interface ")
        if not main:
            raise RuntimeError("the main window did not appear")
        wait_for(lambda: not self.splash_shown(), 5)
        return main

    def splash_shown(self):
        # The splash screen has no title; it is told by its size, 7635 x 4110 twips.
        return any(frame and frame[2:] == (509, 274) for frame in
                   (self.display.frame(w) for w, _ in self.display.windows(self.pid)))

    def log_file(self):
        path = os.path.join(self.dir, "log.txt")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            return f.read().split(b"\r\n")[:-1]

    # --- as a screen reader sees it ----------------------------------------------------------

    def accessible(self, timeout=10.0):
        def find():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                try:
                    if app and app.get_process_id() == self.pid:
                        return app
                except Exception:
                    continue
            return None
        if not self.app:
            self.app = wait_for(find, timeout)
            if not self.app:
                raise RuntimeError("the console is not on the accessibility bus")
        return self.app

    def find(self, name, role=None, showing=None, timeout=5.0):
        """A control by its accessible name (and role), searched from the application."""
        def match(node):
            if node.name != name or (role is not None and node.getRole() != role):
                return False
            if showing is not None:
                return node.getState().contains(pyatspi.STATE_SHOWING) == showing
            return True

        def search():
            # Breadth first, not into the rows of lists (a log may hold thousands).
            level = [self.accessible()]
            while level:
                below = []
                for node in level:
                    try:
                        if match(node):
                            return node
                        if node.getRole() != pyatspi.ROLE_LIST:
                            below.extend(node.getChildAtIndex(i) for i in range(node.childCount))
                    except Exception:
                        continue   # a window that closed while it was searched
                level = [node for node in below if node is not None]
            return None
        return wait_for(search, timeout)

    def click(self, node):
        """A real click in the middle of the control."""
        extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.display.click(extents.x + extents.width // 2, extents.y + extents.height // 2)

    def click_control(self, name, role=pyatspi.ROLE_PUSH_BUTTON):
        node = self.find(name, role, showing=True)
        if not node:
            raise RuntimeError(f"no {name} on the screen")
        self.click(node)

    def show_tab(self, caption):
        self.click_control(caption, pyatspi.ROLE_PAGE_TAB)
        pump(0.2)

    def rows(self, list_name):
        lst = self.find(list_name, pyatspi.ROLE_LIST)
        return [(lst.getChildAtIndex(i).name,
                 lst.getChildAtIndex(i).getState().contains(pyatspi.STATE_SELECTED))
                for i in range(lst.childCount)]


class PtyBoard:
    """An interface board on the far side of a pseudo-terminal: what it sends goes out a
    character at a time at 9600 baud, from a thread of its own."""

    def __init__(self):
        self.master, slave = pty.openpty()
        tty.setraw(slave, termios.TCSANOW)
        self.path = os.ttyname(slave)
        os.close(slave)
        self.queue = []
        self.lock = threading.Condition()
        self.busy = False
        self.closed = False
        self.thread = threading.Thread(target=self._write, daemon=True)
        self.thread.start()

    def send(self, text, silence=0.0):
        with self.lock:
            self.queue.append((text, silence))
            self.lock.notify()

    def idle(self):
        with self.lock:
            return not self.queue and not self.busy

    def received(self):
        os.set_blocking(self.master, False)
        try:
            return os.read(self.master, 4096)
        except (BlockingIOError, OSError):
            return b""

    def close(self):
        """Closes the far side, as a board unplugged; closing it again does nothing."""
        with self.lock:
            if self.closed:
                return
            self.closed = True
            self.lock.notify()
        os.close(self.master)

    def _write(self):
        last = time.monotonic()
        while True:
            with self.lock:
                while not self.queue and not self.closed:
                    self.lock.wait()
                if self.closed:
                    return
                text, silence = self.queue.pop(0)
                self.busy = True
            at = max(time.monotonic(), last + silence)
            for byte in text:
                delay = at - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
                try:
                    os.write(self.master, bytes([byte]))
                except OSError:
                    return
                last = time.monotonic()
                at = max(at + CHARACTER_TIME, last + CHARACTER_TIME / 2)
            with self.lock:
                self.busy = False


def start_accessibility_bus():
    """The accessibility bus on this test run's session bus, as a desktop session starts it."""
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The bus is ready once it answers for its address.
    for _ in range(100):
        answer = subprocess.run(["dbus-send", "--session", "--print-reply",
                                 "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                                capture_output=True)
        if answer.returncode == 0:
            break
        time.sleep(0.1)
    return launcher
