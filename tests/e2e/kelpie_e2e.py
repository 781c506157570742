#!/usr/bin/env python3
"""Kelpie end to end: the real program on a real X server.

Each run starts its own Xvfb (on a display it picks itself) with openbox as
the window manager, so that titles, placement, focus and the close box behave
as on a desktop. It drives kelpie with xdotool and checks what the screen
shows against kelpie-render's pictures, pixel for pixel.

  session  the window and its place, no OpenGL driver loaded, Load through
           the menu and the chooser, the space bar, the Info box, closing (times
           Load and space)
  chooser  cancelling (without a GTK complaint), a folder typed as the name, a
           file whose name is not UTF-8, a greyed menu entry, a short file
           after a full one
  arguments  `kelpie samples/testcard.scr` shows the test card at start-up
           with no chooser; `kelpie missing.scr` shows the black picture
  memory   under Valgrind: no invalid access, and nothing of ours lost per
           Load and cancel (2 and 10 of each lose the same in records with a frame in our
           sources or binary; GTK's own are in valgrind.supp)

Waits poll for what they wait for, with deadlines for a busy machine (--slow
multiplies them). Screenshots and logs are kept in --out, which every run
empties first; a failure names the screenshot taken when it happened, and a
picture that never came leaves actual, expected and difference images there.
Exit 77: a tool this needs is missing (exit 1 instead when
KELPIE_E2E_REQUIRED is set).
"""

import argparse
import functools
import itertools
import os
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import traceback

TITLE = "Kelpie v0.2"
CHOOSER = "Please choose file to load"
CLIENT_WIDTH, PICTURE_HEIGHT, MENU_HEIGHT = 768, 576, 20
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCES = os.path.dirname(os.path.dirname(HERE))
TOOLS = ["Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "xwd", "wmctrl", "import",
         "convert", "identify", "compare"]
# Seconds a step may take on a busy machine before it counts as failed, and
# before a key press that may not have taken is repeated (times --slow).
STEP, PRESS = 30, 5


class Failure(Exception):
    pass


class Desktop:
    """Xvfb with a window manager, and the calls that look at and drive it."""

    def __init__(self, out, slow=1.0):
        self.out = out
        self.slow = slow
        self.failures = itertools.count(1)
        self.runs = itertools.count(1)
        self.log = open(os.path.join(out, "x.log"), "w")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=self.log, stderr=self.log)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                raise Failure("Xvfb did not say which display it took within 20 s")
            chunk = os.read(read_end, 16)
            if not chunk:
                raise Failure("Xvfb ended before it took a display (see x.log)")
            number += chunk
        os.close(read_end)
        # The program's settings and recent files stay inside the test.
        home = tempfile.mkdtemp(prefix="kelpie-e2e-home-")
        self.home = home
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip(), HOME=home,
                        XDG_CONFIG_HOME=os.path.join(home, "config"),
                        XDG_DATA_HOME=os.path.join(home, "data"),
                        XDG_CACHE_HOME=os.path.join(home, "cache"),
                        XDG_RUNTIME_DIR=home, NO_AT_BRIDGE="1", GSETTINGS_BACKEND="memory",
                        GTK_THEME="Adwaita", LC_ALL="C.UTF-8")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.log.write(f"display {self.env['DISPLAY']}\n")
        self.log.flush()
        self.wm = None

        def window_manager_up():
            # Started again should it end early (the server still settling).
            if self.wm is None or self.wm.poll() is not None:
                self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=self.log, stderr=self.log)
                time.sleep(0.2)
            return "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.text(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"])

        try:
            self.wait(window_manager_up, 60, "the window manager")
        except Failure:
            self.close()
            raise

    def close(self):
        for process in (self.wm, self.xvfb):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
        self.log.close()
        shutil.rmtree(self.home, ignore_errors=True)

    def text(self, command):
        result = subprocess.run(command, env=self.env, capture_output=True, text=True)
        return result.stdout if result.returncode == 0 else ""

    def do(self, *args):
        try:
            result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True,
                                    text=True, timeout=STEP * self.slow)
        except subprocess.TimeoutExpired:
            raise Failure(self.failed(f"xdotool {' '.join(args)} still ran after "
                                      f"{STEP * self.slow:.0f} s"))
        if result.returncode != 0:
            raise Failure(self.failed(f"xdotool {' '.join(args)}: {result.stderr.strip()}"))

    def failed(self, what):
        """`what`, naming a screenshot of the whole screen taken now."""
        name = f"failure-{next(self.failures):02d}.png"
        try:
            self.grab(os.path.join(self.out, name), 0, 0, 1280, 1024)
        except subprocess.CalledProcessError as error:
            return f"{what} (no screenshot: {error.stderr.decode(errors='replace').strip()})"
        return f"{what} (the screen then: {name})"

    def wait(self, condition, seconds, what, record=True):
        deadline = time.monotonic() + seconds * self.slow
        while True:
            value = condition()
            if value:
                return value
            if time.monotonic() > deadline:
                waited = f"waited {seconds * self.slow:.0f} s for {what}"
                raise Failure(self.failed(waited) if record else waited)
            time.sleep(0.01)

    def press_until(self, keys, done, what, ready=lambda: True, tries=3):
        """Presses `keys` until `done()` holds; returns its value. A press can be lost
        (a window still taking the keyboard) but must not act twice: it is repeated
        only when the last had PRESS seconds to take, `done()` still does not hold
        and `ready()` (the state the press needs) holds."""
        for attempt in range(1, tries + 1):
            self.wait(lambda: done() or ready(), STEP,
                      f"{what}: the state to press {'+'.join(keys)} in")
            value = done()
            if value:
                return value
            self.do("key", *keys)
            last = attempt == tries
            try:
                return self.wait(done, STEP if last else PRESS, what, record=last)
            except Failure:
                if last:
                    raise
                self.log.write(f"{what}: {'+'.join(keys)} again\n")
                self.log.flush()

    def windows(self, name):
        """Visible windows whose whole title is `name`."""
        found = self.text(["xdotool", "search", "--onlyvisible", "--name",
                           "^" + re.escape(name) + "$"])
        return [int(w) for w in found.split()]

    def window(self, name, seconds=STEP):
        return self.wait(lambda: self.windows(name), seconds, f'the window "{name}"')[0]

    def gone(self, name, seconds=STEP, record=True):
        self.wait(lambda: not self.windows(name), seconds, f'the window "{name}" to go', record)

    def has_keyboard(self, window):
        """Whether keys go to `window`: the window manager made it the active window
        and the X server's input focus is on it."""
        active = self.text(["xdotool", "getactivewindow"]).strip()
        focused = self.text(["xdotool", "getwindowfocus"]).strip()
        return active == str(window) and focused == active

    def popups(self, program="kelpie"):
        """The program's menus that are up (windows the window manager does not frame)."""
        tree = self.text(["xwininfo", "-root", "-children"])
        ids = re.findall(r"^\s+(0x[0-9a-f]+) .*\(\"" + re.escape(program) + r"\"", tree, re.M)
        shown = []
        for w in ids:
            info = self.text(["xwininfo", "-id", w])
            if "IsViewable" in info and "Override Redirect State: yes" in info:
                shown.append(geometry_of(info))
        return shown

    def geometry(self, window):
        return geometry_of(self.text(["xwininfo", "-id", str(window)]))

    def frame_extents(self, window):
        found = re.search(r"= (\d+), (\d+), (\d+), (\d+)",
                          self.text(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"]))
        if not found:
            raise Failure("the window manager gave the window no frame extents")
        return tuple(int(v) for v in found.groups())  # left, right, top, bottom

    def grab(self, path, x, y, width, height):
        subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                        "+repage", path], env=self.env, check=True, capture_output=True)
        return path


def geometry_of(xwininfo):
    def value(label):
        found = re.search(label + r":\s+(-?\d+)", xwininfo)
        if not found:
            raise Failure(f"xwininfo gave no {label}")
        return int(found.group(1))
    return (value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
            value("Height"))


@functools.lru_cache(maxsize=None)
def rgb_of(png):
    """A PNG's pixels as rows of R, G, B bytes."""
    data = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], check=True,
                          capture_output=True).stdout
    width = int(subprocess.run(["identify", "-format", "%w", png], check=True,
                               capture_output=True, text=True).stdout)
    return [data[i:i + 3 * width] for i in range(0, len(data), 3 * width)]


def window_shows(env, window, x, y, rows):
    """Whether the window at (x, y) holds `rows` (from rgb_of), read straight from an
    xwd dump: a poll takes milliseconds, not ImageMagick's hundreds."""
    dump = subprocess.run(["xwd", "-id", str(window), "-silent"], env=env,
                          capture_output=True).stdout
    if len(dump) < 100:
        return False  # the window is not viewable
    header = struct.unpack(">25I", dump[:100])
    size, depth, byte_order, bits, line, colours = (header[0], header[3], header[7],
                                                    header[11], header[12], header[19])
    masks = header[14:17]
    if bits not in (24, 32) or byte_order != 0 or masks != (0xFF0000, 0xFF00, 0xFF) or depth != 24:
        raise Failure(f"xwd's pixels are not 24-bit BGR(X) (header {header})")
    pixels = dump[size + 12 * colours:]
    width = len(rows[0]) // 3
    step = bits // 8  # blue, green, red in the low bytes
    for row, want in enumerate(rows):
        start = (y + row) * line + step * x
        got = pixels[start:start + step * width]
        if (got[2::step] != want[0::3] or got[1::step] != want[1::3] or
                got[0::step] != want[2::3]):
            return False
    return True


class Kelpie:
    """One run of the program on the desktop."""

    def __init__(self, desk, binary, cwd, command=(), arguments=()):
        self.desk = desk
        self.log_path = os.path.join(desk.out, f"kelpie-{next(desk.runs)}.log")
        self.log = open(self.log_path, "w")
        self.process = subprocess.Popen([*command, binary, *arguments], cwd=cwd, env=desk.env,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.window = desk.wait(self.started, 2 * STEP, f'the window "{TITLE}"')[0]
        x, y, width, height = desk.geometry(self.window)
        # The GTK window holds the menu bar and, below it, the client area.
        self.client = (x, y + MENU_HEIGHT, width, height - MENU_HEIGHT)
        self.shots = 0
        self.focus()

    def started(self):
        """The main window, once shown; a program that ended fails at once."""
        if self.process.poll() is not None:
            raise Failure(f"kelpie ended ({self.process.returncode}) before its window "
                          f"showed (see {os.path.basename(self.log_path)})")
        return self.desk.windows(TITLE)

    def focus(self):
        self.desk.do("windowactivate", "--sync", str(self.window))
        self.desk.wait(self.has_keyboard, STEP, "the main window to take the keyboard")

    def has_keyboard(self):
        return self.desk.has_keyboard(self.window)

    def picture(self, name=None):
        self.shots += 1
        path = os.path.join(self.desk.out, name or f"shot-{self.shots:02d}.png")
        x, y, _, _ = self.client
        return self.desk.grab(path, x, y, CLIENT_WIDTH, PICTURE_HEIGHT)

    def wait_picture(self, want, seconds, what):
        """Polls the client area until it shows `want`; returns the seconds it took.
        When it never does, the actual, expected and difference images are kept."""
        rows = rgb_of(want)
        start = time.monotonic()
        try:
            self.desk.wait(lambda: window_shows(self.desk.env, self.window, 0, MENU_HEIGHT, rows),
                           seconds, what)
        except Failure as failure:
            raise Failure(f"{failure}; {self.compare(want)}")
        took = time.monotonic() - start
        self.picture("polled.png")
        return took

    def compare(self, want):
        """Keeps what the client area shows beside `want` and their difference."""
        base = f"mismatch-{next(self.desk.failures):02d}"
        actual = self.picture(base + "-actual.png")
        expected = os.path.join(self.desk.out, base + "-expected.png")
        shutil.copy(want, expected)
        difference = os.path.join(self.desk.out, base + "-difference.png")
        # compare ends with 1 when the pictures differ: that is expected here.
        result = subprocess.run(["compare", "-metric", "AE", actual, expected, difference],
                                capture_output=True, text=True)
        return (f"{result.stderr.strip() or '?'} pixels differ: {os.path.basename(actual)}, "
                f"{os.path.basename(expected)}, {os.path.basename(difference)} in {self.desk.out}")

    def menu_ready(self):
        return not self.desk.popups() and self.has_keyboard()

    def menu(self, rights, then):
        """Opens the menu bar with F10, moves `rights` titles on, then presses `then`."""
        self.desk.press_until(["F10"], self.desk.popups, "the File menu to open",
                              ready=self.menu_ready)
        for _ in range(rights):
            before = self.desk.popups()
            self.desk.do("key", "Right")
            self.desk.wait(lambda: self.desk.popups() and self.desk.popups() != before, STEP,
                           "the next menu to open")
        if then:
            self.desk.do("key", *then)

    def open_chooser(self):
        """Load in the File menu; returns the chooser once it holds the keyboard."""
        self.menu(0, ["Down", "l"])
        chooser = self.desk.window(CHOOSER)
        self.desk.wait(lambda: self.desk.has_keyboard(chooser), STEP,
                       "the chooser to take the keyboard")
        return chooser

    def about(self, shot=None):
        """Shows the Info box through "?" > About and dismisses it with Escape."""
        self.menu(2, ["Down", "Return"])
        box = self.desk.window("Info")
        if shot:
            left, right, top, bottom = self.desk.frame_extents(box)
            x, y, width, height = self.desk.geometry(box)
            self.desk.grab(os.path.join(self.desk.out, shot), x - left, y - top,
                           width + left + right, height + top + bottom)
        self.desk.press_until(["Escape"], lambda: not self.desk.windows("Info"),
                              'the window "Info" to go')
        return box

    def leave_chooser(self, key, what):
        """`key` until the chooser goes. The chooser may take a press for its
        completion list (which then closes: pressed again at once), or be too busy
        to act on it; a press it has not acted on is repeated after a while."""
        for _ in range(4):
            before = self.desk.popups()
            self.desk.press_until([key], lambda: (not self.desk.windows(CHOOSER) or
                                                  self.desk.popups() != before), what)
            if not self.desk.windows(CHOOSER):
                return
        self.desk.gone(CHOOSER)

    def confirm_chooser(self):
        """Enter until the chooser goes (a chooser that has not read its folder yet
        does nothing with it)."""
        self.leave_chooser("Return", "the chooser to take Enter")

    def cancel_chooser(self):
        self.leave_chooser("Escape", "the chooser to take Escape")

    def type_path(self, path):
        self.desk.do("key", "ctrl+l")
        self.desk.do("type", "--delay", "5", path)

    def close(self, seconds=STEP):
        """The close box (through the window manager); returns the exit code and the time."""
        start = time.monotonic()
        subprocess.run(["wmctrl", "-i", "-c", hex(self.window)], env=self.desk.env, check=True)
        try:
            code = self.process.wait(max(seconds * self.desk.slow, 1.0))
        except subprocess.TimeoutExpired:
            raise Failure(self.desk.failed(f"kelpie still runs {seconds * self.desk.slow:.1f} s "
                                           "after its window was closed"))
        return code, time.monotonic() - start

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()


class Results:
    def __init__(self):
        self.passed = 0
        self.failed = 0
        self.lines = []  # what is said, also kept for the summary
        self.desk = None  # once up, a failure takes a screenshot of it

    def say(self, line):
        print(line)
        self.lines.append(line)

    def check(self, ok, what, shot=True):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            self.say("FAIL: " + (self.desk.failed(what) if shot and self.desk else what))

    def picture(self, kelpie, want, seconds, what):
        """Passes when the client area comes to show `want` in time."""
        try:
            kelpie.wait_picture(want, seconds, what)
            self.passed += 1
        except Failure as failure:
            self.check(False, str(failure), shot=False)

    def equal(self, got, want, what):
        self.check(got == want, f"{what}: got {got!r}, want {want!r}")

    def finish(self, out, part):
        """Says the tally, keeps the summary in `out`; the exit status."""
        self.say(f"{self.passed} passed, {self.failed} failed")
        print(f"screenshots and logs: {out}")
        with open(os.path.join(out, "summary.txt"), "w") as summary:
            summary.write("".join(f"{part}: {line}\n" for line in self.lines))
        return 0 if self.failed == 0 else 1


def render(args, source, out, white=False):
    command = [args.render] + (["--white-seams"] if white else []) + [source, out]
    subprocess.run(command, check=True, capture_output=True)
    return out


def write_short(args, folder):
    """The test card's first 100 bytes as a file of its own in `folder`."""
    path = os.path.join(folder, "short.scr")
    with open(os.path.join(args.samples, "testcard.scr"), "rb") as card, open(path, "wb") as out:
        out.write(card.read(100))
    return path


def load(kelpie, path, want, what):
    """Load through the menu and the chooser; returns the seconds from Enter to the picture."""
    kelpie.open_chooser()
    kelpie.type_path(path)
    rgb_of(want)  # read before the clock starts
    start = time.monotonic()
    kelpie.confirm_chooser()
    kelpie.wait_picture(want, STEP, what)
    return time.monotonic() - start


def part_session(args, desk, results):
    card = render(args, os.path.join(args.samples, "testcard.scr"),
                  os.path.join(args.out, "want-testcard.png"))
    card_white = render(args, os.path.join(args.samples, "testcard.scr"),
                        os.path.join(args.out, "want-testcard-white.png"), white=True)
    kelpie = Kelpie(desk, args.kelpie, args.samples)
    try:
        left, _, top, _ = desk.frame_extents(kelpie.window)
        x, y, width, height = desk.geometry(kelpie.window)
        results.equal((x - left, y - top), (50, 50), "outer top-left corner")
        results.equal(width, CLIENT_WIDTH, "client width")
        results.equal(height, MENU_HEIGHT + PICTURE_HEIGHT, "menu bar and client height")
        # Drawn with cairo alone: the first GTK program on a display loads no
        # OpenGL driver (GDK would, to choose its visuals).
        with open(f"/proc/{kelpie.process.pid}/maps") as maps:
            drivers = sorted({line.split()[-1] for line in maps
                              if re.search(r"/lib(GLX|EGL)_\w+\.so|_dri\.so", line)})
        results.equal(drivers, [], "OpenGL drivers loaded")

        load_time = load(kelpie, os.path.join(args.samples, "testcard.scr"), card,
                         "the test card after Load")
        desk.gone(CHOOSER)
        x, y, width, height = desk.geometry(kelpie.window)
        desk.grab(os.path.join(args.out, "kelpie-testcard.png"), x - left, y - top,
                  width + 2 * left, height + top + left)

        # The first space draws the marks dark again (no change); the second
        # draws them white. Neither may go to the chooser as it closes.
        desk.wait(kelpie.has_keyboard, STEP, "the main window to take the keyboard back")
        desk.do("key", "space")
        rgb_of(card_white)
        start = time.monotonic()
        desk.do("key", "space")
        space_time = kelpie.wait_picture(card_white, STEP, "white marks after the second space")
        space_time = time.monotonic() - start
        shutil.copy(os.path.join(args.out, "polled.png"), os.path.join(args.out, "white.png"))

        box = kelpie.about("info.png")
        results.check(box != kelpie.window, "the Info box is a window of its own")
        # The uncovered part is painted again when the program gets to it: poll.
        results.picture(kelpie, card_white, STEP, "the picture is unchanged after the Info box")

        code, close_time = kelpie.close()
        results.equal(code, 0, "exit code after the close box")
        results.say(f"timing: Load (Enter in the chooser) to picture on screen: "
              f"{load_time * 1000:.0f} ms")
        results.say(f"timing: space released to new picture on screen: {space_time * 1000:.0f} ms")
        results.say(f"timing: close box to process end: {close_time * 1000:.0f} ms")
    finally:
        kelpie.stop()


def part_arguments(args, desk, results):
    work = tempfile.mkdtemp(prefix="kelpie-e2e-")
    try:
        card = render(args, os.path.join(args.samples, "testcard.scr"),
                      os.path.join(args.out, "want-testcard.png"))
        empty = os.path.join(work, "empty.scr")
        open(empty, "wb").close()
        black = render(args, empty, os.path.join(args.out, "want-black.png"))
        samples_parent, samples_name = os.path.split(args.samples)
        for cwd, argument, want in ((samples_parent, os.path.join(samples_name, "testcard.scr"),
                                     card),
                                    (work, "missing.scr", black)):
            kelpie = Kelpie(desk, args.kelpie, cwd, arguments=[argument])
            try:
                results.picture(kelpie, want, STEP, f"kelpie {argument}: the picture at start-up")
                results.check(not desk.windows(CHOOSER) and not desk.popups(),
                              f"kelpie {argument}: a dialog or menu is shown")
                results.check(kelpie.process.poll() is None, f"kelpie {argument} ended")
                code, _ = kelpie.close()
                results.equal(code, 0, f"kelpie {argument}: exit code after the close box")
            finally:
                kelpie.stop()
    finally:
        shutil.rmtree(work, ignore_errors=True)


def part_chooser(args, desk, results):
    work = tempfile.mkdtemp(prefix="kelpie-e2e-")
    try:
        card = render(args, os.path.join(args.samples, "testcard.scr"),
                      os.path.join(args.out, "want-testcard.png"))
        gradient = render(args, os.path.join(args.samples, "gradient.scr"),
                          os.path.join(args.out, "want-gradient.png"))
        folder = os.path.join(work, "a folder.scr")
        os.mkdir(folder)
        odd = os.path.join(work, "odd")
        os.mkdir(odd)
        # Latin-1 "é": a name that is not UTF-8, reachable only by its bytes.
        odd_name = os.path.join(os.fsencode(odd), b"caf\xe9.scr")
        shutil.copy(os.path.join(args.samples, "gradient.scr"), odd_name)

        kelpie = Kelpie(desk, args.kelpie, work)
        try:
            load(kelpie, os.path.join(args.samples, "testcard.scr"), card, "the test card")
            desk.gone(CHOOSER)

            # Cancel: the chooser goes, the picture stays. The Info box after it
            # shows that the program has dealt with everything before.
            kelpie.open_chooser()
            kelpie.cancel_chooser()
            kelpie.about()
            results.picture(kelpie, card, STEP, "Cancel leaves the picture as it was")
            with open(kelpie.log_path, errors="replace") as log:
                results.check("-CRITICAL" not in log.read(),
                              f"GTK complained after Escape in the chooser (see {kelpie.log_path})")

            # A folder typed as the name opens the folder; nothing is loaded.
            chooser = kelpie.open_chooser()
            kelpie.type_path(folder)
            desk.do("key", "Return")
            kelpie.cancel_chooser()
            kelpie.about()
            results.picture(kelpie, card, STEP, "a folder given as the file changes nothing")
            results.check(kelpie.process.poll() is None, "kelpie still runs after the folder")
            del chooser

            # A greyed entry: clicking it does nothing, the menu stays open.
            # Item heights come from the one-item "?" and three-item Edition menus.
            kelpie.menu(2, [])
            one = desk.popups()[0]
            desk.do("key", "Left")
            desk.wait(lambda: desk.popups() and desk.popups()[0] != one, STEP, "the Edition menu")
            three = desk.popups()[0]
            desk.do("key", "Left")
            desk.wait(lambda: desk.popups() and desk.popups()[0] != three, STEP, "the File menu")
            file_menu = desk.popups()[0]
            item = (three[3] - one[3]) / 2
            padding = (one[3] - item) / 2
            save_as_y = file_menu[1] + padding + 2.5 * item
            desk.do("mousemove", str(file_menu[0] + 30), str(int(save_as_y)))
            desk.do("click", "1")
            desk.grab(os.path.join(args.out, "greyed-click.png"), file_menu[0] - 10,
                      file_menu[1] - 30, file_menu[2] + 20, file_menu[3] + 40)
            results.check(bool(desk.popups()), "the menu stays open after a greyed entry's click")
            desk.do("key", "Escape")
            desk.wait(lambda: not desk.popups(), STEP, "the menu to close")
            # Had "Save As..." been chosen, its Info box would hold the keyboard
            # and the menu would not open for this Load.
            load(kelpie, os.path.join(args.samples, "testcard.scr"), card,
                 "the test card after the greyed entry")
            results.check(not desk.windows("Info"), "no Info box came from the greyed entry")

            # A short file replaces the whole picture: its bytes, then zeros.
            short = write_short(args, work)
            load(kelpie, short, render(args, short, os.path.join(args.out, "want-short.png")),
                 "the 100-byte file after the test card")

            code, _ = kelpie.close()
            results.equal(code, 0, "exit code")
        finally:
            kelpie.stop()

        # Not UTF-8: the chooser opens in the program's folder, which holds
        # only that file; Enter takes it once the list is read.
        kelpie = Kelpie(desk, args.kelpie, odd)
        try:
            kelpie.open_chooser()
            kelpie.confirm_chooser()
            results.picture(kelpie, gradient, STEP,
                            "the picture of the file whose name is not UTF-8")
            code, _ = kelpie.close()
            results.equal(code, 0, "exit code after the file whose name is not UTF-8")
        finally:
            kelpie.stop()
    finally:
        shutil.rmtree(work, ignore_errors=True)


LEAK_RECORD = re.compile(
    r"^==\d+== ([\d,]+) (?:\(([\d,]+) direct, [\d,]+ indirect\) )?bytes in [\d,]+ blocks "
    r"are definitely lost in loss record [^\n]*\n((?:==\d+== +(?:at|by) [^\n]*\n)*)", re.M)
FRAME_PLACE = re.compile(r"\((?:in )?([^():]+)(?::\d+)?\)$")


def our_leaks(log, binary):
    """The definitely lost records of a Valgrind log (run with full paths) that have
    a frame in our sources or our binary, as (direct bytes, those frames)."""
    leaks = []
    for record in LEAK_RECORD.finditer(log):
        ours = []
        for frame in record.group(3).splitlines():
            place = FRAME_PLACE.search(frame)
            if place and (place.group(1).startswith(SOURCES + os.sep) or
                          place.group(1) == binary):
                ours.append(frame.split(": ", 1)[-1])
        if ours:
            leaks.append((int((record.group(2) or record.group(1)).replace(",", "")), ours))
    return leaks


def part_memory(args, desk, results):
    card = render(args, os.path.join(args.samples, "testcard.scr"),
                  os.path.join(args.out, "want-testcard.png"))
    gradient = render(args, os.path.join(args.samples, "gradient.scr"),
                      os.path.join(args.out, "want-gradient.png"))
    desk.slow *= 15.0
    lost = {}
    for loads in (2, 10):
        log = os.path.join(args.out, f"valgrind-{loads}.log")
        kelpie = Kelpie(desk, args.kelpie, args.samples,
                        [args.valgrind, "--leak-check=full", "--errors-for-leak-kinds=none",
                         "--num-callers=40", "--child-silent-after-fork=yes",
                         "--fullpath-after=", "--gen-suppressions=all",
                         "--suppressions=" + os.path.join(HERE, "valgrind.supp"),
                         f"--log-file={log}"])
        try:
            for n in range(loads):
                name, want = ("testcard.scr", card) if n % 2 == 0 else ("gradient.scr", gradient)
                load(kelpie, os.path.join(args.samples, name), want, f"load {n + 1} of {loads}")
                desk.gone(CHOOSER)
                # As many cancels: Escape in the chooser once freed what GTK then read.
                kelpie.open_chooser()
                kelpie.cancel_chooser()
            code, _ = kelpie.close()
            results.equal(code, 0, f"exit code after {loads} loads and cancels")
        finally:
            kelpie.stop()
        with open(log) as f:
            text = f.read()
        errors = re.search(r"ERROR SUMMARY: (\d+) errors", text)
        results.check(errors is not None and errors.group(1) == "0",
                      f"Valgrind found invalid accesses in {loads} loads (see {log})")
        lost[loads] = our_leaks(text, os.path.realpath(args.kelpie))
    total = {loads: sum(size for size, _ in leaks) for loads, leaks in lost.items()}
    results.say(f"valgrind: definitely lost in our code after 2 loads: {total[2]} bytes, "
                f"after 10: {total[10]} bytes")
    grown = "".join(f"\n  {size} bytes: " + "\n    ".join(frames[:4]) for size, frames in lost[10])
    results.check(total[10] <= total[2], "memory lost in our code grows with the number of "
                  f"loads; after 10 (valgrind-10.log):{grown}", shot=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("part", choices=["session", "chooser", "arguments", "memory"])
    parser.add_argument("--kelpie", required=True)
    parser.add_argument("--render", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--valgrind", default="valgrind")
    parser.add_argument("--slow", type=float, default=1.0,
                        help="how much longer every wait may take (sanitized builds)")
    args = parser.parse_args()
    for path in ("kelpie", "render", "samples", "out"):
        setattr(args, path, os.path.abspath(getattr(args, path)))
    needed = TOOLS + (["valgrind"] if args.part == "memory" else [])
    missing = [tool for tool in needed if shutil.which(tool) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        # scripts/test installs every tool: there a skip would hide a run that never happened.
        return 1 if os.environ.get("KELPIE_E2E_REQUIRED") else 77
    args.out = os.path.join(args.out, args.part)
    shutil.rmtree(args.out, ignore_errors=True)  # no screenshot of an earlier run stays
    os.makedirs(args.out)
    results = Results()
    desk = None
    try:
        desk = Desktop(args.out, args.slow)
        results.desk = desk
        {"session": part_session, "chooser": part_chooser, "arguments": part_arguments,
         "memory": part_memory}[args.part](
            args, desk, results)
    except Failure as failure:
        results.check(False, str(failure), shot=False)
    except Exception as error:  # pylint: disable=broad-except
        # A tool that broke, or this script: still a failure with its screenshot.
        traceback.print_exc()
        stderr = getattr(error, "stderr", None) or ""
        if isinstance(stderr, bytes):
            stderr = stderr.decode(errors="replace")
        results.check(False, f"{type(error).__name__}: {error} {stderr.strip()}".strip())
    finally:
        if desk is not None:
            desk.close()
    return results.finish(args.out, args.part)


if __name__ == "__main__":
    sys.exit(main())
