"""The Windows build on a serial line: kestrel.exe under Wine reads a board through COM1.

Wine reaches a COM port through a Unix device that its mount manager links into the prefix's
dosdevices folder, COM1 to the machine's first serial port unless the prefix's
HKLM\\Software\\Wine\\Ports key names another device. Here COM1 is a pseudo-terminal whose far side
this test holds, and on which it plays the board: replies a character at a time at 9600 baud. The
program is started with no --com1, so "Comm1" is COM1 as a technician's laptop has it; COM1 is
checked to lead to the pseudo-terminal before the program may open it, so that no run ever opens
the machine's own serial port. Comm2 to Comm4 are given the virtual board.

- In the window (windows platform, on an Xvfb display): "Comm1" is clicked, the port opens, the
  replies are read, each a line of log.txt, the 36-byte block whole on one line.
- With no window (--plan): a plan expects each reply and checks the tallies and the total; each
  action-log line the program prints is checked, and closing the line gives exactly one lost-device
  line. A pseudo-terminal has no modem lines: Wine answering the modem-status calls on it with
  refusals must not be taken for a lost device, so no such line may come before the line closes.

    python3 test_wine_serial.py --kestrel build-windows/kestrel.exe --run scripts/wine-run.sh \
        --qt QT_FOLDER --shot FILE
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Display, PtyBoard, wait_for  # noqa: E402
from test_wine import (PREFIX, TITLE, argument_parser, prepare_prefix, save_screenshot,  # noqa: E402
                       stop_wine, windows_titled, wine_env)

ARGS = None
WINE = "/usr/lib/wine/wine64"

# The longest MDB block: 36 bytes, an address byte and data that repeat a $20 bill's reply, so that
# a block read in pieces would show as money. 109 characters with its CR LF.
BLOCK = bytes([0x08]) + bytes([0x30, 0x84, 0x09] * 12)[:35]
BLOCK_TEXT = " ".join(f"{b:02X}" for b in BLOCK)
assert len(BLOCK_TEXT) + 2 == 109

# What the board sends, in turn, with what the console must log for it (None: nothing).
REPLIES = [
    ("08 50 06", "Received a Nickel"),
    ("08 51 08", "Received a Dime"),
    ("30 80 09", "Received a One Dollar Bill - ($1)"),
    (BLOCK_TEXT, None),
    ("08 52 06", "Received a Quarter"),
]

PLAN = f"""plan "COM1 under Wine"
expect "08 50 06" within 60s
expect "08 51 08" within 10s
expect "30 80 09" within 10s
expect "{BLOCK_TEXT}" within 10s
expect "08 52 06" within 10s
check tally Nickel = 1
check tally Dime = 1
check tally Quarter = 1
check tally $1 = 1
check tally $20 = 0
check total = 1.40
wait 10s
"""


def held_by_another_process(path):
    """Whether a process other than this test has the device open."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            for fd in os.listdir(f"/proc/{pid}/fd"):
                if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                    return True
        except OSError:
            continue
    return False


def windows_path(path):
    """A Unix path as the program sees it: the prefix's drive Z is the Unix root."""
    return "Z:" + os.path.realpath(path).replace("/", "\\")


def log_lines(folder):
    """log.txt beside the program: each line's text after its date and time."""
    try:
        with open(os.path.join(folder, "log.txt"), "rb") as log:
            lines = log.read().decode("latin-1").split("\r\n")
    except FileNotFoundError:
        return []
    return [line[18:] for line in lines[:-1]]


class WineSerialTest(unittest.TestCase):
    def setUp(self):
        self.board = PtyBoard()
        self.addCleanup(self.board.close)
        prepare_prefix(ARGS.run, ARGS.qt, ARGS.kestrel)
        # COM1 is the pseudo-terminal: in the ports key, which the mount manager reads when the
        # Wine server starts, and in the link it keeps.
        self.addCleanup(self.forget_com1)
        subprocess.run([WINE, "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/d",
                        self.board.path, "/f"], env=wine_env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        # The key is read back: a COM1 left to Wine would be the machine's own serial port.
        value = subprocess.run([WINE, "reg", "query", r"HKLM\Software\Wine\Ports", "/v", "COM1"],
                               env=wine_env(), capture_output=True, text=True, timeout=120).stdout
        self.assertIn(self.board.path, value.split(), "COM1 is not set to the test's board")
        stop_wine()
        link = os.path.join(PREFIX, "dosdevices", "com1")
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(self.board.path, link)
        # The program runs from a folder of its own, so that its log.txt is this test's alone.
        self.folder = tempfile.mkdtemp(prefix="kestrel-com1-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.kestrel = os.path.join(self.folder, "kestrel.exe")
        shutil.copy(ARGS.kestrel, self.kestrel)

    def forget_com1(self):
        """COM1 back to Wine's own choice, so that no later run finds it on a pseudo-terminal that
        another program may have by then."""
        stop_wine()
        subprocess.run([WINE, "reg", "delete", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/f"],
                       env=wine_env(), check=False, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        stop_wine()

    def com1_is_the_board(self):
        return os.path.realpath(os.path.join(PREFIX, "dosdevices", "com1")) == self.board.path

    def play_replies(self):
        for text, _ in REPLIES:
            self.board.send((text + "\r\n").encode(), silence=0.05)
        self.assertTrue(wait_for(self.board.idle, 30), "the board did not get its replies out")

    def test_window_reads_the_board_on_comm1(self):
        display = Display(1366, 768)
        self.addCleanup(display.close)
        env = wine_env(display)
        process = subprocess.Popen(
            [ARGS.run, "--qt", ARGS.qt, self.kestrel, "--com2", "virtual", "--com3", "virtual",
             "--com4", "virtual", "-platform", "windows"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: process.poll() is None and process.kill())

        self.assertTrue(wait_for(lambda: windows_titled(display, TITLE), 90), "no window titled " + TITLE)
        self.assertTrue(self.com1_is_the_board(), "COM1 does not lead to the test's board")
        self.assertFalse(held_by_another_process(self.board.path), "COM1 open before it was picked")
        window = windows_titled(display, TITLE)[0]
        time.sleep(2)   # the splash closes, the window paints
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=env,
                                  capture_output=True, text=True, check=True).stdout
        place = dict(line.split("=", 1) for line in geometry.split())
        # "Comm1" on the Setup tab, from the window's top left as Wine frames it.
        x, y = int(place["X"]) + ARGS.comm1[0], int(place["Y"]) + ARGS.comm1[1]
        for _ in range(3):
            subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], env=env,
                           check=False)
            if wait_for(lambda: held_by_another_process(self.board.path), 10):
                break
        self.assertTrue(held_by_another_process(self.board.path), "clicking Comm1 did not open COM1")
        time.sleep(1)
        self.play_replies()
        expected = [text for text, _ in REPLIES]
        self.assertTrue(wait_for(lambda: len(log_lines(self.folder)) >= len(expected), 20),
                        f"log.txt: {log_lines(self.folder)}")
        time.sleep(0.5)
        self.assertEqual(log_lines(self.folder), expected)   # each reply one line, the block whole
        save_screenshot(display, ARGS.shot)
        # A board that goes away leaves the program running, its port closed.
        self.board.close()
        self.assertTrue(wait_for(lambda: not held_by_another_process(self.board.path), 10),
                        "COM1 still open after its line went away")
        self.assertIsNone(process.poll())

    def test_plan_counts_the_board_on_comm1(self):
        plan = os.path.join(self.folder, "board.plan")   # not "com1.plan": COM1 is a device name on Windows
        with open(plan, "w") as out:
            out.write(PLAN)
        self.assertTrue(self.com1_is_the_board(), "COM1 does not lead to the test's board")
        output = os.path.join(self.folder, "output.txt")
        with open(output, "wb") as out:
            process = subprocess.Popen(
                [ARGS.run, "--qt", ARGS.qt, self.kestrel, "--plan", windows_path(plan), "--com2", "virtual",
                 "--com3", "virtual", "--com4", "virtual"],
                env=wine_env(), stdout=out, stderr=subprocess.STDOUT)
        self.addCleanup(lambda: process.poll() is None and process.kill())

        def printed():
            with open(output, "rb") as f:
                return f.read().decode("utf-8", "replace")

        self.assertTrue(wait_for(lambda: held_by_another_process(self.board.path) or process.poll() is not None, 120),
                        "COM1 was not opened")
        self.assertTrue(held_by_another_process(self.board.path), printed())
        time.sleep(1)
        self.play_replies()
        # The plan's checks are done once its last check's line is printed; then it waits.
        self.assertTrue(wait_for(lambda: "check total = 1.40" in printed(), 30), printed())
        self.assertNotIn("FAIL", printed())
        time.sleep(1)
        # Nothing so far may read as a lost device: the line is there, only without modem lines.
        self.assertNotIn("Comm device lost", printed())
        # The line closed while the plan still waits: the plan ends at once, its step failed with
        # the loss, and the program says so in its exit code.
        self.board.close()
        self.assertTrue(wait_for(lambda: process.poll() is not None, 20), printed())
        text = printed()
        logged = [line.strip()[len("log: "):] for line in text.splitlines() if line.strip().startswith("log: ")]
        money = [line for _, line in REPLIES if line]
        self.assertEqual([line for line in logged if line in money], money, text)
        self.assertEqual(sum("Comm device lost" in line for line in logged), 1, text)
        self.assertIn("the port was lost: Comm device lost: COM1", text)
        self.assertIn("FAILED: 11 passed, 0 asked, 1 failed, 0 not run", text)
        self.assertEqual(process.returncode, 1, text)
        self.assertEqual(log_lines(self.folder), [text for text, _ in REPLIES])


if __name__ == "__main__":
    parser = argument_parser()
    # Where "Comm1" is, from the window's top left as Wine frames it.
    parser.add_argument("--comm1", type=lambda s: tuple(int(v) for v in s.split(",")), default=(436, 118))
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], "-v", *rest])
