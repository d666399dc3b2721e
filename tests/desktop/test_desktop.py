"""The real executable on the xcb platform under Xvfb, driven by real clicks and read through
AT-SPI as a screen reader reads it.

Run by ctest inside dbus-run-session:  test_desktop.py --kestrel build/app/kestrel
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

import pyatspi

import desktop
from desktop import Display, Kestrel, PtyBoard, pump, wait_for

KESTREL = None
CAPTIONS = {
    "main": "KESTREL Interface ",
    "about": "About Kestrel",
    "leds": "LEDs and Jumper settings",
    "connectors": "Connector Information",
    "quillon layout": "Form1",
    "quillon connectors": "Quillon Connectors",
    "board": "Virtual board",
}
# The Other tab's buttons, with the caption of the screen each opens and its Close button.
SCREENS = [
    ("Show Tessard board layout", CAPTIONS["leds"]),
    ("Show Tessard Connector Screen", CAPTIONS["connectors"]),
    ("Show Quillon board layout", CAPTIONS["quillon layout"]),
    ("Show Quillon Connector Screen", CAPTIONS["quillon connectors"]),
]


class DesktopTest(unittest.TestCase):
    display = None

    @classmethod
    def setUpClass(cls):
        cls.bus = desktop.start_accessibility_bus()
        cls.display = Display(1280, 1024)

    @classmethod
    def tearDownClass(cls):
        cls.display.close()
        cls.bus.terminate()

    def start(self, *arguments, accessible=True, path=None):
        kestrel = Kestrel(KESTREL, self.display, arguments, accessible, path=path)
        self.addCleanup(kestrel.stop)
        main = kestrel.ready()
        return kestrel, main

    def open_about(self, kestrel):
        kestrel.click_control("Help", pyatspi.ROLE_MENU_ITEM)
        kestrel.click_control("About", pyatspi.ROLE_MENU_ITEM)
        return kestrel.window(CAPTIONS["about"])

    # --- the program's life ------------------------------------------------------------------

    def test_exit_from_every_panel_ends_the_program(self):
        for tab in ["Setup", "Bill Validator", "Cashless Device", "Coin Changer", "USB", "Other"]:
            with self.subTest(tab=tab):
                kestrel, _ = self.start("--com1", "virtual")
                kestrel.show_tab(tab)
                kestrel.click_control("Exit")
                self.assertTrue(kestrel.ended_within(2), f"still running after Exit on {tab}")
                self.assertEqual(kestrel.process.returncode, 0)

    def test_ctrl_x_ends_the_program(self):
        kestrel, main = self.start()
        self.display.key(main, "ctrl+x")
        self.assertTrue(kestrel.ended_within(2))

    def test_exit_with_about_open_ends_once_about_is_closed(self):
        kestrel, _ = self.start()
        about = self.open_about(kestrel)
        self.assertIsNotNone(about)
        kestrel.click_control("Exit")
        self.assertFalse(kestrel.ended_within(2), "ended with About still open")
        self.assertIsNone(kestrel.window(CAPTIONS["main"], timeout=0.5))
        self.assertEqual(kestrel.titles(), [CAPTIONS["about"]])
        self.display.request_close(about)
        self.assertTrue(kestrel.ended_within(2))

    def test_closing_screens_leaves_the_console_running(self):
        kestrel, _ = self.start("--com1", "virtual")
        kestrel.show_tab("Setup")
        kestrel.click_control("Comm1", pyatspi.ROLE_RADIO_BUTTON)
        kestrel.show_tab("Coin Changer")
        kestrel.click_control("Dispense Dime")
        # The dime goes out and the changer's reply comes back.
        wait_for(lambda: len(kestrel.rows("Action Log")) >= 2, 5)
        before = kestrel.rows("Action Log")
        self.assertEqual([text for text, _ in before],
                         ["Dispense Dime", "Dispensing Dime - Code (08 91 08)"])
        kestrel.show_tab("Other")
        for button, caption in SCREENS:
            with self.subTest(screen=caption):
                kestrel.click_control(button)
                self.assertIsNotNone(kestrel.window(caption), caption)
                kestrel.click(kestrel.find("Close", pyatspi.ROLE_PUSH_BUTTON, showing=True))
                self.assertTrue(wait_for(lambda: caption not in kestrel.titles(), 3))
                self.assertFalse(kestrel.ended_within(1), f"closing {caption} ended the program")
        about = self.open_about(kestrel)
        self.display.request_close(about)
        self.assertTrue(wait_for(lambda: CAPTIONS["about"] not in kestrel.titles(), 3))
        self.display.request_close(kestrel.window(CAPTIONS["board"]))
        self.assertTrue(wait_for(lambda: CAPTIONS["board"] not in kestrel.titles(), 3))
        self.assertFalse(kestrel.ended_within(1), "closing About or the board ended the program")
        self.assertEqual(kestrel.rows("Action Log"), before)    # its state stands

    def test_the_console_closed_with_its_close_box_ends_and_takes_the_board_with_it(self):
        kestrel, main = self.start("--com1", "virtual")
        self.assertIsNotNone(kestrel.window(CAPTIONS["board"]))
        self.display.request_close(main)
        self.assertTrue(kestrel.ended_within(2))

    # --- title bars, icons and places -----------------------------------------------------------

    def test_title_bars_show_each_caption_alone(self):
        kestrel, _ = self.start("--com1", "virtual")
        self.open_about(kestrel)
        main = kestrel.window(CAPTIONS["main"])
        kestrel.show_tab("Other")
        for button, caption in SCREENS:
            self.display.xdotool("windowraise", main.id)   # each screen opens over the console
            kestrel.click_control(button)
            kestrel.window(caption)
        self.assertEqual(kestrel.titles(), sorted(CAPTIONS.values()))
        # Only the console has the program's icon; the screens have none of their own.
        for window, title in self.display.windows(kestrel.pid):
            with self.subTest(window=title):
                self.assertEqual(self.display.has_icon(window), title == CAPTIONS["main"])

    def test_client_areas_stand_where_designed(self):
        kestrel, _ = self.start()
        # Below the menu bar, at 225, 795 twips; the first list stands at its top.
        replies = kestrel.find("Replies received", pyatspi.ROLE_LIST)
        at = replies.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.assertEqual((at.x, at.y), (15 + 8, 53))
        kestrel.show_tab("Other")
        # Each screen's client area at its place: its Close button stands at a known spot in it.
        for button, caption, place, close_at in [
                ("Show Tessard board layout", CAPTIONS["leds"], (96, 150), (472, 408)),
                ("Show Tessard Connector Screen", CAPTIONS["connectors"], (161, 255), (480, 320))]:
            kestrel.click_control(button)
            self.assertIsNotNone(kestrel.window(caption))
            close = kestrel.find("Close", pyatspi.ROLE_PUSH_BUTTON, showing=True)
            extents = close.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            self.assertEqual((extents.x - close_at[0], extents.y - close_at[1]), place, caption)
            kestrel.click(close)
            wait_for(lambda: caption not in kestrel.titles(), 3)

    # --- lists through AT-SPI, a board on the line ---------------------------------------------

    def test_lists_read_through_atspi_and_replies_at_line_speed(self):
        board = PtyBoard()
        self.addCleanup(board.close)
        kestrel, _ = self.start("--com1", board.path)
        added = []

        def heard(event):
            if event.source and event.source.name == "Replies received":
                added.append(event.any_data.name if event.any_data else None)
        pyatspi.Registry.registerEventListener(heard, "object:children-changed:add")
        self.addCleanup(pyatspi.Registry.deregisterEventListener, heard,
                        "object:children-changed:add")

        kestrel.click_control("Comm1", pyatspi.ROLE_RADIO_BUTTON)
        pump(0.3)
        replies = [b"08 50 06\r\n", b"30 82 09\r\n", b"08 91 08\r\n", b"30 0B", b"08 52 06\r\n"]
        for reply in replies:
            board.send(reply, 0.25)
        self.assertTrue(wait_for(lambda: board.idle() and len(kestrel.log_file()) >= 5, 10))
        pump(0.5)

        shown = [r.decode().replace("\r", "\u240d").replace("\n", "\u240a") for r in replies]
        # Every reply whole, one row each, told to the listening tool as it came.
        self.assertEqual([name for name, _ in kestrel.rows("Replies received")], shown)
        self.assertEqual(added, shown)
        self.assertEqual([line[18:] for line in kestrel.log_file()],
                         [r.rstrip(b"\r\n") for r in replies])
        log = kestrel.rows("Action Log")
        self.assertEqual([name for name, _ in log],
                         ["Received a Nickel", "Received a Five Dollar Bill - ($5)",
                          "Dispensing Dime - Code (08 91 08)", "Bill rejected - Code (30 0B)",
                          "Received a Quarter"])
        kestrel.show_tab("Coin Changer")
        self.assertEqual(kestrel.rows("Coin Totals"),
                         [("Nickel received", True), ("Dime", False), ("Quarter ", False),
                          ("Canadian Dollar", False), ("Canadian Two Dollar", False)])
        self.assertEqual(kestrel.rows("Coin counts"),
                         [("1", True), ("0", False), ("1", False), ("0", False), ("0", False)])
        kestrel.show_tab("Bill Validator")
        self.assertEqual([count for count, _ in kestrel.rows("Bill counts")],
                         ["0", "0", "1", "0", "0"])


    # --- the reply details window ---------------------------------------------------------------

    def test_a_reply_double_clicked_is_shown_decoded(self):
        kestrel, _ = self.start("--com1", "virtual")
        kestrel.click_control("Comm1", pyatspi.ROLE_RADIO_BUTTON)
        kestrel.show_tab("Coin Changer")
        kestrel.click_control("Tube Status")
        self.assertTrue(wait_for(lambda: kestrel.rows("Replies received"), 5))
        replies = kestrel.find("Replies received", pyatspi.ROLE_LIST)
        row = replies.getChildAtIndex(0).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.display.xdotool("mousemove", "--sync", row.x + 20, row.y + row.height // 2,
                             "click", "--repeat", "2", "--delay", "60", "1")
        self.assertIsNotNone(kestrel.window("Reply details"))
        details = kestrel.find("Reply details", pyatspi.ROLE_TEXT)
        text = details.queryText().getText(0, -1)
        self.assertIn("Reply: TUBE STATUS", text)
        self.assertIn("because: The pending frame 0A asked for TUBE STATUS.", text)
        self.assertIn("[3] tube of coin type 0 (Nickel): 20 coins", text)


    # --- a test plan in the window ------------------------------------------------------------

    def test_a_built_in_plan_runs_in_the_window_on_the_virtual_board(self):
        kestrel, _ = self.start("--com1", "virtual", "--plan-answers", "virtual")
        kestrel.click_control("Comm1", pyatspi.ROLE_RADIO_BUTTON)
        kestrel.click_control("File", pyatspi.ROLE_MENU_ITEM)
        kestrel.click_control("Run Test Plan...", pyatspi.ROLE_MENU_ITEM)
        self.assertIsNotNone(kestrel.window("Test Plan"))
        self.assertIsNotNone(kestrel.find("Coin changer check (32 steps)", pyatspi.ROLE_LABEL))
        kestrel.click_control("Run")
        self.assertTrue(kestrel.find("Passed: every step.", pyatspi.ROLE_LABEL, timeout=30),
                        "the plan did not pass")
        # The console shows what the operator's own presses would have shown.
        log = [name for name, _ in kestrel.rows("Action Log")]
        for line in ["Coin Changer Reset", "Received a Nickel", "Received a Dime", "Received a Quarter",
                     "Dispense Quarter", "Dispensing Quarter - Code (08 92 06)"]:
            self.assertIn(line, log)
        kestrel.show_tab("Coin Changer")
        self.assertEqual([count for count, _ in kestrel.rows("Coin counts")][:3], ["1", "1", "1"])
        # log.txt: each of the plan's twelve replies once, the last the TUBE STATUS after the payout.
        replies = [line[18:] for line in kestrel.log_file()]
        self.assertEqual(len(replies), 12, replies)
        self.assertEqual(replies[-1], b"08 00 00 14 14 14" + b" 00" * 13)
        # The run is in the bench records, with the unit it identified.
        history = subprocess.run([kestrel.executable, "--history", "000000000001", "--csv"], cwd=kestrel.dir,
                                 env={**kestrel.env, "QT_QPA_PLATFORM": "offscreen"}, capture_output=True,
                                 text=True, timeout=30)
        self.assertEqual(history.returncode, 0, history.stderr)
        self.assertIn(",changer,passed,0,", history.stdout)


    def test_the_bench_history_shows_each_unit_s_runs_and_opens_a_report(self):
        # Two runs of the changer plan with no window, the second short of a coin; then the window.
        opened = tempfile.mkdtemp(prefix="kestrel-opener-")
        self.addCleanup(shutil.rmtree, opened, True)
        # What the desktop opens a report with: here, a note of what it was asked to open.
        with open(os.path.join(opened, "xdg-open"), "w") as f:
            f.write(f"#!/bin/sh\necho \"$1\" >> {opened}/asked\n")
        os.chmod(os.path.join(opened, "xdg-open"), 0o755)
        kestrel, _ = self.start("--com1", "virtual", path=opened)
        env = {**kestrel.env, "QT_QPA_PLATFORM": "offscreen"}
        for board in ("virtual", "virtual?fault=short-payout"):
            subprocess.run([kestrel.executable, "--plan", "changer", "--com1", board, "--plan-answers",
                            "virtual"], cwd=kestrel.dir, env=env, stdout=subprocess.DEVNULL, timeout=60)
        kestrel.click_control("File", pyatspi.ROLE_MENU_ITEM)
        kestrel.click_control("Bench History...", pyatspi.ROLE_MENU_ITEM)
        self.assertIsNotNone(kestrel.window("Bench History"))
        serial = kestrel.find("000000000001", pyatspi.ROLE_TABLE_CELL, showing=True)
        self.assertIsNotNone(serial, "the changer is not among the units")
        kestrel.click(serial)
        self.assertTrue(kestrel.find("failed", pyatspi.ROLE_TABLE_CELL, showing=True))
        plot = kestrel.find("History plot", timeout=5)
        self.assertEqual(plot.description, "2 runs, 1 failed")
        # The search narrows the units as it is typed.
        search = kestrel.find("Search units", pyatspi.ROLE_TEXT)
        self.type_into(kestrel, search, "no such unit")
        self.assertTrue(kestrel.find("No unit matches.", pyatspi.ROLE_LABEL))
        self.type_into(kestrel, search, "CHNG")
        kestrel.click(kestrel.find("000000000001", pyatspi.ROLE_TABLE_CELL, showing=True))
        # A double-click on a run opens its report.
        run = kestrel.find("passed", pyatspi.ROLE_TABLE_CELL, showing=True)
        extents = run.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.display.xdotool("mousemove", str(extents.x + extents.width // 2),
                             str(extents.y + extents.height // 2), "click", "--repeat", "2", "1")
        asked = os.path.join(opened, "asked")
        self.assertTrue(wait_for(lambda: os.path.exists(asked), 10), "no report was opened")
        pump(0.5)
        with open(asked) as f:
            report, = f.read().split()   # opened once
        self.assertTrue(report.startswith("file://") and report.endswith(".html"), report)
        with open(urllib.parse.unquote(report[len("file://"):])) as f:
            self.assertIn("PASSED", f.read())

    # --- any MDB command, composed --------------------------------------------------------------

    def type_into(self, kestrel, node, text):
        """Clicks a text field and types into it as a technician does, replacing what it held."""
        kestrel.click(node)
        pump(0.1)
        self.display.xdotool("key", "--clearmodifiers", "ctrl+a")
        self.display.xdotool("type", "--delay", "15", text)
        pump(0.2)

    def test_a_command_of_each_peripheral_is_composed_sent_and_its_reply_decoded(self):
        kestrel, _ = self.start("--com1", "virtual")
        kestrel.click_control("Comm1", pyatspi.ROLE_RADIO_BUTTON)
        kestrel.click_control("File", pyatspi.ROLE_MENU_ITEM)
        kestrel.click_control("Send MDB Command...", pyatspi.ROLE_MENU_ITEM)
        self.assertIsNotNone(kestrel.window("Send MDB Command"))
        for peripheral, command, params, decoded in [
            ("Coin changer (08)", "DISPENSE", {"coin": "Quarter", "count": "2"},
             "coins dispensed by hand: 1 coin(s) of coin type 2 (Quarter)"),
            ("Bill validator (30)", "BILL TYPE", {"enable": "0x1F", "escrow": "0"}, "[1] status: 00: ACK"),
            ("Cashless reader (10)", "REQUEST ID", {}, "[2-4] manufacturer code: \"VLM\""),
        ]:
            kestrel.click_control(peripheral, pyatspi.ROLE_RADIO_BUTTON)
            # The command's box is named by the command it shows, each peripheral's RESET first;
            # its name is typed into the box's text.
            combo = kestrel.find("RESET", pyatspi.ROLE_COMBO_BOX, showing=True)
            self.assertIsNotNone(combo)
            text = next(combo.getChildAtIndex(i) for i in range(combo.childCount)
                        if combo.getChildAtIndex(i).getRole() == pyatspi.ROLE_TEXT)
            self.type_into(kestrel, text, command)
            for name, value in params.items():
                field = kestrel.find(name, pyatspi.ROLE_TEXT, showing=True)
                self.assertIsNotNone(field, name)
                self.type_into(kestrel, field, value)
            kestrel.click_control("Send")
            reply = kestrel.find("Reply decoded", pyatspi.ROLE_TEXT)
            self.assertTrue(wait_for(lambda: decoded in reply.queryText().getText(0, -1), 10),
                            reply.queryText().getText(0, -1))
            self.assertIn(command, [name for name, _ in kestrel.rows("Action Log")])
        log = [name for name, _ in kestrel.rows("Action Log")]
        self.assertEqual(log.count("Dispensing Quarter - Code (08 92 06)"), 2)


    # --- a capture replayed ----------------------------------------------------------------------

    def test_a_capture_replayed_through_the_window_gives_the_session_s_rows(self):
        work = tempfile.mkdtemp(prefix="kestrel-capture-")
        self.addCleanup(shutil.rmtree, work, True)
        capture = os.path.join(work, "session.pcapng")
        # The session: a built-in plan on the virtual board, with no window.
        ran = subprocess.run([KESTREL, "--plan", "validator", "--com1", "virtual", "--plan-answers",
                              "virtual", "--capture", capture], cwd=work, capture_output=True,
                             env={k: v for k, v in os.environ.items() if k != "DISPLAY"}, timeout=60)
        self.assertEqual(ran.returncode, 0, ran.stdout.decode())
        kestrel, _ = self.start("--com1", "replay:" + capture)
        kestrel.click_control("Comm1", pyatspi.ROLE_RADIO_BUTTON)
        self.assertTrue(wait_for(lambda: len(kestrel.rows("Replies received")) >= 11, 15))
        pump(0.5)
        rows = [name for name, _ in kestrel.rows("Replies received")]
        self.assertEqual(len(rows), 11, rows)
        self.assertEqual(rows[0], "30 06")
        self.assertIn("Received a One Dollar Bill - ($1)", [name for name, _ in kestrel.rows("Action Log")])
        self.assertTrue(kestrel.find("Total Money Received so far: 1.00", pyatspi.ROLE_LABEL))


class BoardWindowPlaceTest(unittest.TestCase):
    """The virtual board's window on screens of two common sizes."""

    def place(self, width, height):
        bus = desktop.start_accessibility_bus()
        display = Display(width, height)
        try:
            kestrel = Kestrel(KESTREL, display, ["--com1", "virtual"], accessible=False)
            try:
                main = kestrel.ready()
                board = kestrel.window(CAPTIONS["board"])
                return display.frame(main), display.frame(board)
            finally:
                kestrel.stop()
        finally:
            display.close()
            bus.terminate()

    def test_beside_the_console_where_it_fits(self):
        console, board = self.place(1366, 768)
        self.assertEqual((board[0], board[1]), (console[0] + console[2] + 12, console[1]))
        self.assertLessEqual(board[0] + board[2], 1366)
        self.assertLessEqual(board[1] + board[3], 768)

    def test_within_the_screen_where_it_does_not(self):
        console, board = self.place(1280, 1024)
        self.assertGreaterEqual(board[0], 0)
        self.assertGreaterEqual(board[1], 0)
        self.assertLessEqual(board[0] + board[2], 1280)
        self.assertLessEqual(board[1] + board[3], 1024)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--kestrel", required=True)
    arguments, rest = parser.parse_known_args()
    KESTREL = arguments.kestrel
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
