#!/usr/bin/env python3
"""Kelpie for Windows end to end: kelpie.exe under Wine on a real X server.

On the desktop of kelpie_e2e (its own Xvfb with openbox) and in a Wine prefix
of its own, made for the run and removed after it, a user's session: Load
through the Windows open-file dialog with a typed Z:\\ path, the picture pixel
for pixel as kelpie-render draws it, the space bar twice (white marks) and once
more (dark again), "?" > About with its Info box, a cancelled dialog, a
100-byte file after the test card, and the close box with exit code 0. Then
`kelpie.exe "Z:\\...\\a folder\\test card.scr"`: the card at start-up, no dialog.

Screenshots and Wine's logs (wineboot.log, kelpie.log) are kept in --out.
Exit 77: a tool this needs is missing (exit 1 instead when KELPIE_E2E_REQUIRED
is set).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

import kelpie_e2e as e2e

WINDOW_WIDTH, WINDOW_HEIGHT = 768, 596  # the window asks for the menu bar and picture
TOOLS = e2e.TOOLS + ["wineserver"]
PROGRAM_CLASS = "kelpie.exe"  # the X class Wine gives the program's windows
HOLD_SECONDS = 0.5  # how long a key stays down once Wine has taken its press
# Wine draws a picture through the real GDI in about a second (up to several on
# a busy machine), where the native build takes milliseconds: every wait of
# kelpie_e2e is given this much longer.
WINE_SLOWER = 4.0


def windows_path(path):
    """The path as the program sees it: Wine's drive Z: is the root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WinePrefix:
    """A Wine prefix of its own, made completely before the program starts."""

    def __init__(self, desk):
        self.desk = desk
        self.path = tempfile.mkdtemp(prefix="kelpie-wine-e2e-")
        # No Mono or Gecko prompts in a fresh prefix; Wine's errors go to the logs.
        desk.env.update(WINEPREFIX=self.path, WINEDEBUG="fixme-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")

    def make(self, wine):
        with open(os.path.join(self.desk.out, "wineboot.log"), "w") as log:
            self.run([wine, "wineboot", "--init"], log, "wineboot --init")
            # wineboot returns while the new prefix's services still run; the
            # server ends once they have all finished.
            self.run(["wineserver", "-w"], log, "the new prefix to settle (wineserver -w)")

    def run(self, command, log, what, seconds=300):
        try:
            subprocess.run(command, env=self.desk.env, stdout=log, stderr=log,
                           timeout=seconds * self.desk.slow, check=True)
        except subprocess.TimeoutExpired:
            raise e2e.Failure(f"waited {seconds * self.desk.slow:.0f} s for {what}")
        except subprocess.CalledProcessError as error:
            raise e2e.Failure(f"{what} ended with {error.returncode} (see wineboot.log)")

    def close(self):
        """Ends what still runs in the prefix, then removes it."""
        try:
            for flag in ("-k", "-w"):
                subprocess.run(["wineserver", flag], env=self.desk.env, capture_output=True,
                               timeout=60)
        finally:
            shutil.rmtree(self.path, ignore_errors=True)


class WineKelpie(e2e.Kelpie):
    """kelpie.exe under Wine. The menu bar takes its height from the client area
    and differs between Wine and Windows, so it is measured, not assumed."""

    def __init__(self, desk, wine, exe, cwd, hold, arguments=(), menu_rows=None):
        """`menu_rows` from an earlier run where the picture may not start black."""
        self.hold = hold
        super().__init__(desk, exe, cwd, [wine], arguments)
        x, y, self.width, self.height = desk.geometry(self.window)
        self.menu_rows = menu_rows or self.measure_menu_bar()
        self.client = (x, y + self.menu_rows, self.width, self.height - self.menu_rows)

    def rows(self):
        """The window's pixels as rows of R, G, B bytes."""
        dump = subprocess.run(["import", "-window", str(self.window), "-depth", "8", "rgb:-"],
                              env=self.desk.env, capture_output=True).stdout
        line = 3 * self.width
        return [dump[i:i + line] for i in range(0, len(dump) - line + 1, line)]

    def measure_menu_bar(self):
        """Rows above the picture, which starts black: the first wholly black row
        ends the menu bar (light, with dark text)."""
        black = bytes(3 * self.width)

        def menu_bar():
            rows = self.rows()
            top = next((i for i, row in enumerate(rows) if row == black), 0)
            below = rows[top:top + e2e.PICTURE_HEIGHT]
            return top if top > 0 and len(below) == e2e.PICTURE_HEIGHT and all(
                row == black for row in below) else None

        return self.desk.wait(menu_bar, 30, "a menu bar above a black picture")

    def wait_picture(self, want, seconds, what):
        rows = e2e.rgb_of(want)
        start = time.monotonic()
        self.desk.wait(lambda: e2e.window_shows(self.desk.env, self.window, 0, self.menu_rows,
                                                rows), seconds, what)
        took = time.monotonic() - start
        self.picture("polled.png")
        return took

    def focus(self):
        """Gives the main window the keyboard, as a user's click would: when a
        dialog closes, the window manager may mark the main window active while
        the keyboard's focus stays elsewhere. Activated again until it has it."""
        def has_keyboard():
            self.desk.do("windowactivate", str(self.window))
            try:
                self.desk.wait(lambda: self.desk.text(["xdotool", "getwindowfocus"]).strip() ==
                               str(self.window), 2, "the keyboard's focus", record=False)
                return True
            except e2e.Failure:
                return False

        self.desk.wait(has_keyboard, 30, "the main window to take the keyboard")

    def menu(self, rights, then):
        """F10 marks the first menu title, Right the next ones, Down opens the menu;
        then presses `then`."""
        self.focus()
        self.desk.do("key", "F10", *["Right"] * rights, "Down")
        self.desk.wait(lambda: self.desk.popups(PROGRAM_CLASS), 10, "the menu to open")
        if then:
            self.desk.do("key", *then)

    def type_path(self, path):
        """Types into the dialog's name box once the dialog has the keyboard."""
        chooser = self.desk.window(e2e.CHOOSER, 20)
        self.desk.wait(lambda: self.desk.text(["xdotool", "getactivewindow"]).strip() ==
                       str(chooser), 10, "the dialog to take the keyboard")
        self.desk.do("type", "--delay", "5", path)

    def user_time(self):
        """The X server time of the last key or button press that Wine took for
        the window (kept on a window of its own when it names one)."""
        holder = self.desk.text(["xprop", "-id", str(self.window),
                                 "_NET_WM_USER_TIME_WINDOW"]).split()
        target = holder[-1] if holder and holder[-1].startswith("0x") else str(self.window)
        return self.desk.text(["xprop", "-id", target, "_NET_WM_USER_TIME"])

    def press_space(self):
        """Space down until Wine has taken the press, and for as long again as a
        person holds a key, then up. The program polls the keyboard: a press and
        release that both reach it between two polls are not seen, and Wine hands
        the press to the keyboard device on a thread of its own, which nothing
        outside shows."""
        self.focus()
        before = self.user_time()
        self.desk.do("keydown", "space")
        try:
            self.desk.wait(lambda: self.user_time() != before, 10,
                           "Wine to take the space bar's press")
            time.sleep(self.hold)
        finally:
            self.desk.do("keyup", "space")


def session(args, desk, results):
    card = e2e.render(args, os.path.join(args.samples, "testcard.scr"),
                      os.path.join(args.out, "want-testcard.png"))
    card_white = e2e.render(args, os.path.join(args.samples, "testcard.scr"),
                            os.path.join(args.out, "want-testcard-white.png"), white=True)
    work = tempfile.mkdtemp(prefix="kelpie-wine-e2e-files-")
    short = e2e.write_short(args, work)
    short_png = e2e.render(args, short, os.path.join(args.out, "want-short.png"))
    kelpie = WineKelpie(desk, args.wine, args.kelpie, work, HOLD_SECONDS * args.slow)
    try:
        results.equal((kelpie.width, kelpie.height), (WINDOW_WIDTH, WINDOW_HEIGHT),
                      "menu bar and client area")
        client_height = kelpie.height - kelpie.menu_rows
        results.check(client_height >= e2e.PICTURE_HEIGHT,
                      f"the client area ({client_height} rows) holds the picture")
        results.say(f"client area: {kelpie.width} x {client_height} "
                    f"(menu bar {kelpie.menu_rows} rows)")

        load_time = e2e.load(kelpie, windows_path(os.path.join(args.samples, "testcard.scr")),
                             card, "the test card after Load")
        desk.gone(e2e.CHOOSER)

        # The first space draws the marks dark again (no change), the second
        # white, the third dark again.
        kelpie.press_space()
        start = time.monotonic()
        kelpie.press_space()
        kelpie.wait_picture(card_white, 10, "white marks after the second space")
        space_time = time.monotonic() - start
        kelpie.press_space()
        results.picture(kelpie, card, 10, "dark marks again after the third space")

        box = kelpie.about("info.png")
        results.check(box != kelpie.window, "the Info box is a window of its own")
        results.picture(kelpie, card, 10, "the picture is unchanged after the Info box")

        # Cancel: the dialog goes, the picture stays. The Info box after it
        # shows that the program has dealt with everything before.
        kelpie.open_chooser()
        kelpie.cancel_chooser()
        kelpie.about()
        results.picture(kelpie, card, 10, "Cancel leaves the picture as it was")

        # A short file replaces the whole picture: its bytes, then zeros.
        e2e.load(kelpie, windows_path(short), short_png, "the 100-byte file after the test card")
        desk.gone(e2e.CHOOSER)

        code, close_time = kelpie.close(seconds=30)
        results.equal(code, 0, "exit code after the close box")
        results.say(f"timing: Load (Enter in the dialog) to picture on screen: "
                    f"{load_time * 1000:.0f} ms")
        results.say(f"timing: space pressed to white marks on screen: {space_time * 1000:.0f} ms")
        results.say(f"timing: close box to process end: {close_time * 1000:.0f} ms")
    finally:
        kelpie.stop()
    try:
        command_line(args, desk, results, work, card, kelpie.menu_rows)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def command_line(args, desk, results, work, card, menu_rows):
    """A file named on the command line (with blanks in its path) shows at
    start-up without a dialog."""
    folder = os.path.join(work, "a folder")
    os.mkdir(folder)
    path = os.path.join(folder, "test card.scr")
    shutil.copy(os.path.join(args.samples, "testcard.scr"), path)
    kelpie = WineKelpie(desk, args.wine, args.kelpie, work, HOLD_SECONDS * args.slow,
                        [windows_path(path)], menu_rows)
    try:
        results.picture(kelpie, card, 10, "the file named on the command line at start-up")
        results.check(not desk.windows(e2e.CHOOSER), "a dialog is shown at start-up")
        code, _ = kelpie.close(seconds=30)
        results.equal(code, 0, "exit code after the close box (command line)")
    finally:
        kelpie.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kelpie", required=True, help="kelpie.exe (64-bit)")
    parser.add_argument("--render", required=True, help="the native build's kelpie-render")
    parser.add_argument("--samples", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    parser.add_argument("--slow", type=float, default=1.0,
                        help="how much longer every wait may take")
    args = parser.parse_args()
    missing = [tool for tool in TOOLS + [args.wine] if shutil.which(tool) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        return 1 if os.environ.get("KELPIE_E2E_REQUIRED") else 77
    args.kelpie, args.render, args.samples = (os.path.abspath(p) for p in
                                              (args.kelpie, args.render, args.samples))
    args.out = os.path.join(os.path.abspath(args.out), "wine")
    os.makedirs(args.out, exist_ok=True)
    results = e2e.Results()
    desk = prefix = None
    try:
        desk = e2e.Desktop(args.out, args.slow * WINE_SLOWER)
        prefix = WinePrefix(desk)
        prefix.make(args.wine)
        session(args, desk, results)
    except e2e.Failure as failure:
        results.check(False, str(failure))
    finally:
        try:
            if prefix is not None:
                prefix.close()
        finally:
            if desk is not None:
                desk.close()
    return results.finish(args.out, "wine")


if __name__ == "__main__":
    sys.exit(main())
