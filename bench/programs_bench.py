#!/usr/bin/env python3
"""Whole programs, measured from outside: prints one JSON object.

  render_vs_convert  kelpie-render SCR OUT.png beside ImageMagick's
                     convert scr:SCR -scale 300% OUT.png, per sample
  first_frame        exec to the window's first complete frame on an Xvfb
                     display without a window manager: kelpie showing the
                     test card (kelpie FILE) beside feh showing the test
                     card's PNG; each on a fresh display per run
                     (the first GTK program there) and on one shared display;
                     wall time, and the CPU time the program used until then
                     (which a busy machine disturbs less)
  idle_memory        resident memory once the program is idle: kelpie after
                     a Load of the test card (through the menu and the
                     chooser, on a desktop with a window manager), feh
                     showing the same picture
  space_to_frame     XTEST space released to the new picture on the X server,
                     in the same kelpie

Runs of the programs compared alternate, so that both see the same machine;
each figure is the median of --runs. A frame counts as shown when the window's
pixels on the server equal the settled frame (read after each DAMAGE report,
no sleeps). A part whose tools are missing says so in "skipped", one that broke
in "failed".
"""

import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))
import kelpie_e2e  # noqa: E402  (the e2e test's desktop and its Load route)
import xprobe  # noqa: E402

DEADLINE = 30  # seconds for anything to happen, on a busy machine
SETTLED = 0.5  # seconds without drawing after which a window's frame counts as final


def missing(*tools):
    gone = [tool for tool in tools if shutil.which(tool) is None]
    return {"skipped": "not installed: " + ", ".join(gone)} if gone else None


def real_convert():
    """ImageMagick's convert itself (Debian's versioned name first)."""
    for name in ("convert-im6.q16", "convert-im7.q16", "magick", "convert"):
        if shutil.which(name):
            return shutil.which(name)
    return None


def median_ms(seconds):
    return round(statistics.median(seconds) * 1000, 2)


def timed(command, **kwargs):
    start = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                   **kwargs)
    return time.monotonic() - start


def render_vs_convert(args):
    convert = real_convert()
    if convert is None:
        return {"skipped": "convert not installed (imagemagick)"}
    formats = subprocess.run([convert, "-list", "format"], capture_output=True, text=True).stdout
    if not any(line.split()[:1] in (["SCR"], ["SCR*"]) for line in formats.splitlines()):
        return {"skipped": f"{convert} reads no SCR files"}
    samples = sorted(f for f in os.listdir(args.samples) if f.endswith(".scr"))
    result = {"convert": convert, "runs": args.runs, "samples": {}}
    with tempfile.TemporaryDirectory(prefix="kelpie-bench-") as work:
        out = os.path.join(work, "out.png")
        for sample in samples:
            path = os.path.join(args.samples, sample)
            ours, theirs = [], []
            for _ in range(args.runs):
                ours.append(timed([args.render, path, out]))
                theirs.append(timed([convert, "scr:" + path, "-scale", "300%", out]))
            result["samples"][sample] = {
                "kelpie_render_ms": median_ms(ours), "convert_ms": median_ms(theirs),
                "convert_over_kelpie_render": round(statistics.median(theirs) /
                                                    statistics.median(ours), 2)}
    return result


class Server:
    """An Xvfb of its own (depth 24), with the programs' environment."""

    def __init__(self, home):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"], pass_fds=[write_end], stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb took no display")
        self.name = ":" + number
        # As the e2e tests run the program: no accessibility bus, no settings.
        self.env = dict(os.environ, DISPLAY=self.name, HOME=home,
                        XDG_CONFIG_HOME=os.path.join(home, "config"),
                        XDG_CACHE_HOME=os.path.join(home, "cache"),
                        XDG_RUNTIME_DIR=home, NO_AT_BRIDGE="1", GSETTINGS_BACKEND="memory",
                        GTK_THEME="Adwaita", LC_ALL="C.UTF-8")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.probe = xprobe.Probe(self.name)

    def close(self):
        self.probe.close()
        self.xvfb.terminate()
        self.xvfb.wait()


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def settled_frame(probe, window):
    """The window's pixels once it has drawn nothing for SETTLED seconds."""
    area = probe.geometry(window)
    deadline = time.monotonic() + DEADLINE
    last = None
    while time.monotonic() < deadline:
        seen = probe.wait_pixels(window, area, lambda p: p != last, time.monotonic() + SETTLED)
        if seen is None and last is not None:
            return area, last
        last = probe.pixels(window, *area)
    raise RuntimeError("the window never stopped drawing")


def cpu_seconds(pid):
    """CPU time the process's threads have used so far (the scheduler's count,
    in nanoseconds: finer than the clock ticks of /proc/PID/stat)."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as schedstat:
                total += int(schedstat.read().split()[0])
        except FileNotFoundError:
            pass  # a thread that ended meanwhile
    return total / 1e9


def first_frame_once(server, command, cwd, frame=None):
    """Seconds from exec to `frame` on the server and the CPU seconds the program
    used until then (or, without a frame, the settled frame and its area)."""
    probe = server.probe
    probe.forget()
    start = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, env=server.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        window = probe.wait_map(start + DEADLINE)
        if window is None:
            raise RuntimeError(f"{command[0]} showed no window")
        if frame is None:
            return settled_frame(probe, window)
        area, pixels = frame
        shown = probe.wait_pixels(window, area, lambda p: xprobe.same_colours(p, pixels),
                                  start + DEADLINE)
        if shown is None:
            raise RuntimeError(f"{command[0]} never showed its frame")
        return shown - start, cpu_seconds(process.pid)
    finally:
        stop(process)


def first_frame(args, home, card_png):
    skip = missing("Xvfb", "feh")
    if skip:
        return skip
    card = os.path.join(args.samples, "testcard.scr")
    programs = {"kelpie": [args.kelpie, card], "feh": ["feh", card_png]}
    frames = {}
    fresh = {name: [] for name in programs}
    shared = {name: [] for name in programs}
    server = Server(home)
    try:
        for name, command in programs.items():  # also makes the display not fresh
            frames[name] = first_frame_once(server, command, args.samples)
        for _ in range(args.runs):
            for name, command in programs.items():
                shared[name].append(first_frame_once(server, command, args.samples, frames[name]))
    finally:
        server.close()
    for _ in range(args.runs):
        for name, command in programs.items():
            server = Server(home)
            try:
                fresh[name].append(first_frame_once(server, command, args.samples, frames[name]))
            finally:
                server.close()

    def side_by_side(runs):
        result = {}
        for figure, index in (("wall", 0), ("cpu", 1)):
            ours = [run[index] for run in runs["kelpie"]]
            theirs = [run[index] for run in runs["feh"]]
            result.update({f"kelpie_{figure}_ms": median_ms(ours),
                           f"feh_{figure}_ms": median_ms(theirs),
                           f"kelpie_over_feh_{figure}": round(
                               statistics.median(ours) / statistics.median(theirs), 2)})
        return result
    return {"runs": args.runs, "window_manager": None,
            "fresh_display": side_by_side(fresh), "shared_display": side_by_side(shared)}


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def idle_memory_kb(pid):
    """Resident memory once the process has used no CPU for a second, with
    what it holds: anonymous memory (heap, stacks) and file pages (the
    libraries and data files it maps), the largest files named."""
    deadline = time.monotonic() + DEADLINE
    ticks, since = cpu_ticks(pid), time.monotonic()
    while time.monotonic() - since < 1.0 and time.monotonic() < deadline:
        time.sleep(0.1)  # CPU time is only sampled: there is no event for idleness
        now = cpu_ticks(pid)
        if now != ticks:
            ticks, since = now, time.monotonic()
    files = {}
    anonymous = 0
    name = None
    with open(f"/proc/{pid}/smaps") as smaps:
        for line in smaps:
            fields = line.split()
            if fields and fields[0][0] in "0123456789abcdef" and "-" in fields[0]:
                name = fields[5] if len(fields) > 5 and fields[5].startswith("/") else None
            elif fields[0] == "Rss:":
                if name is None:
                    anonymous += int(fields[1])
                else:
                    files[name] = files.get(name, 0) + int(fields[1])
    largest = sorted(files.items(), key=lambda item: -item[1])[:8]
    return {"rss_kb": anonymous + sum(files.values()), "anonymous_kb": anonymous,
            "files_kb": sum(files.values()),
            "largest_files_kb": {os.path.basename(path): kb for path, kb in largest}}


def bgrx_of(png):
    return subprocess.run([real_convert(), png, "-depth", "8", "bgra:-"], check=True,
                          capture_output=True).stdout


def loaded_kelpie(args, home, card_png, card_white_png):
    """Memory after a Load of the test card, and the space bar's frames."""
    out = os.path.join(home, "desktop")
    os.makedirs(out, exist_ok=True)
    desk = kelpie_e2e.Desktop(out)
    probe = None
    try:
        kelpie = kelpie_e2e.Kelpie(desk, args.kelpie, args.samples)
        try:
            kelpie_e2e.load(kelpie, os.path.join(args.samples, "testcard.scr"), card_png,
                            "the test card after Load")
            desk.gone(kelpie_e2e.CHOOSER)
            desk.wait(kelpie.has_keyboard, DEADLINE, "the main window to take the keyboard")
            memory = idle_memory_kb(kelpie.process.pid)
            feh = subprocess.Popen(["feh", card_png], env=desk.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
            try:
                desk.wait(lambda: desk.text(["xdotool", "search", "--onlyvisible", "--class",
                                             "feh"]).split(), DEADLINE, "the feh window")
                feh_memory = idle_memory_kb(feh.pid)
            finally:
                stop(feh)
            kelpie.focus()
            probe = xprobe.Probe(desk.env["DISPLAY"])
            area = (0, kelpie_e2e.MENU_HEIGHT, kelpie_e2e.CLIENT_WIDTH,
                    kelpie_e2e.PICTURE_HEIGHT)
            pictures = [bgrx_of(card_white_png), bgrx_of(card_png)]
            # The first space draws the marks dark again (no change), the second white.
            probe.press_space()
            probe.press_space()
            times = []
            for press in range(2 * args.runs + 1):
                want = pictures[press % 2]
                start = time.monotonic()
                if press > 0:
                    probe.press_space()
                shown = probe.wait_pixels(kelpie.window, area,
                                          lambda p, want=want: xprobe.same_colours(p, want),
                                          time.monotonic() + DEADLINE)
                if shown is None:
                    raise RuntimeError("the space bar's picture never came")
                if press > 0:
                    times.append(shown - start)
        finally:
            kelpie.stop()
    finally:
        if probe is not None:
            probe.close()
        desk.close()
    return ({"kelpie": memory, "feh": feh_memory,
             "kelpie_over_feh": round(memory["rss_kb"] / feh_memory["rss_kb"], 2)},
            {"presses": len(times), "median_ms": median_ms(times),
             "what": "XTEST space press and release sent to the picture on the X server"})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kelpie", required=True)
    parser.add_argument("--render", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    # The programs run in the samples folder, and the chooser is given a path.
    args.kelpie, args.render, args.samples = (os.path.abspath(path) for path in
                                              (args.kelpie, args.render, args.samples))
    report = {}

    def measure(names, part, *part_args):
        """Runs a part into report[names...]; one that breaks says how."""
        try:
            results = part(*part_args)
        except (OSError, RuntimeError, subprocess.SubprocessError, kelpie_e2e.Failure) as error:
            results = [{"failed": f"{type(error).__name__}: {error}"}] * len(names)
        for name, result in zip(names, results):
            report[name] = result

    measure(["render_vs_convert"], lambda: [render_vs_convert(args)])
    home = tempfile.mkdtemp(prefix="kelpie-bench-home-")
    try:
        card_png = os.path.join(home, "testcard.png")
        card_white_png = os.path.join(home, "testcard-white.png")
        subprocess.run([args.render, os.path.join(args.samples, "testcard.scr"), card_png],
                       check=True)
        subprocess.run([args.render, "--white-seams", os.path.join(args.samples, "testcard.scr"),
                        card_white_png], check=True)
        measure(["first_frame"], lambda: [first_frame(args, home, card_png)])
        skip = missing(*kelpie_e2e.TOOLS, "feh")
        if skip:
            report["idle_memory"] = report["space_to_frame"] = skip
        else:
            measure(["idle_memory", "space_to_frame"], loaded_kelpie, args, home, card_png,
                    card_white_png)
    finally:
        shutil.rmtree(home, ignore_errors=True)
    json.dump(report, sys.stdout, indent=2)
    print()


if __name__ == "__main__":
    main()
