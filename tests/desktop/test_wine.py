"""The Windows build on a desktop: kestrel.exe under Wine, on the windows platform, on an Xvfb
display. Its main window comes up with its title, a screenshot of it goes into the test output,
and File > Exit (Ctrl+X) ends the program.

    python3 test_wine.py --kestrel build-windows/kestrel.exe --run scripts/wine-run.sh --qt QT_FOLDER --shot FILE
"""

import argparse
import os
import struct
import subprocess
import sys
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Display, wait_for  # noqa: E402

from Xlib import X  # noqa: E402

TITLE = "KESTREL Interface "
ARGS = None


def write_png(path, width, height, bgrx):
    """The screen's pixels (blue, green, red, pad per pixel) as an RGB PNG."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        line = bgrx[y * width * 4:(y + 1) * width * 4]
        for x in range(width):
            b, g, r = line[4 * x], line[4 * x + 1], line[4 * x + 2]
            rows += bytes((r, g, b))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(bytes(rows), 6)))
        out.write(chunk(b"IEND", b""))


def save_screenshot(display, path):
    """The whole display as a PNG, named in the test output."""
    root = display.x.screen().root
    width, height = display.size
    write_png(path, width, height, root.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data)
    print(f"screenshot: {path}")


def windows_titled(display, title):
    """The X windows on the display whose title is exactly `title`."""
    found = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], capture_output=True,
                           text=True, env={**os.environ, "DISPLAY": display.name})
    return found.stdout.split()


def argument_parser():
    """The options every Wine desktop test takes: the program, the Wine runner, Qt for Windows and
    where its screenshot goes."""
    parser = argparse.ArgumentParser()
    for option in ("--kestrel", "--run", "--qt", "--shot"):
        parser.add_argument(option, required=True)
    return parser


PREFIX = os.environ.get("KESTREL_WINEPREFIX", "/opt/kestrel/wine")


def wine_env(display=None):
    env = {**os.environ, "WINEPREFIX": PREFIX, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
    if display:
        env["DISPLAY"] = display.name
    return env


def stop_wine():
    """Ends the prefix's Wine server and waits for it. The next program then starts a new one, on
    its own display: a server that is still up keeps the desktop process of the program that
    started it, and a program that had no display leaves one that shows nothing."""
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=wine_env(), check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["/usr/lib/wine/wineserver", "-w"], env=wine_env(), check=False, timeout=60)


def prepare_prefix(run, qt, kestrel):
    """Makes the test's Wine prefix if it is new, before anything is timed (on a busy machine a new
    prefix takes minutes to set itself up), and leaves no Wine server running in it."""
    if not os.path.exists(os.path.join(PREFIX, "system.reg")):
        subprocess.run([run, "--qt", qt, kestrel, "--version"], check=True,
                       stdout=subprocess.DEVNULL, timeout=900)
    stop_wine()


class WineDesktopTest(unittest.TestCase):
    def setUp(self):
        prepare_prefix(ARGS.run, ARGS.qt, ARGS.kestrel)
        self.addCleanup(stop_wine)
        self.display = Display(1366, 768)
        self.addCleanup(self.display.close)

    def test_main_window_comes_up_and_exit_ends_the_program(self):
        env = {**os.environ, "DISPLAY": self.display.name}
        process = subprocess.Popen([ARGS.run, "--qt", ARGS.qt, ARGS.kestrel, "--com1", "virtual", "-platform", "windows"],
                                   env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        self.assertTrue(wait_for(lambda: windows_titled(self.display, TITLE), 60), "no window titled " + TITLE)
        window = int(windows_titled(self.display, TITLE)[0])
        time.sleep(2)   # the splash closes, the window paints
        save_screenshot(self.display, ARGS.shot)
        self.assertTrue(windows_titled(self.display, "Virtual board"), "the virtual board's window is not shown")
        # With no window manager on the display, focus may still be moving between the splash,
        # the board's window and the main window when the key arrives: the key is pressed again
        # on the main window until the program ends (a second Exit is as good as the first).
        for _ in range(4):
            subprocess.run(["xdotool", "windowactivate", "--sync", str(window)], env=env, check=False)
            subprocess.run(["xdotool", "windowfocus", "--sync", str(window), "key", "ctrl+x"],
                           env=env, check=False)
            if wait_for(lambda: process.poll() is not None, 5):
                break
        self.assertTrue(wait_for(lambda: process.poll() is not None, 5), "Ctrl+X did not end it")
        self.assertEqual(process.returncode, 0)


if __name__ == "__main__":
    ARGS, rest = argument_parser().parse_known_args()
    unittest.main(argv=[sys.argv[0], "-v", *rest])
