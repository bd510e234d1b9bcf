#!/usr/bin/env python3
"""Scenarios of the real intro.exe under Wine on Xvfb with Mesa's llvmpipe.

  intro_scenarios.py SCENARIO --prefix DIR --workdir DIR --intro EXE --probe EXE

Each scenario starts intro.exe in a fresh working folder on its own display,
checks what it must and ends it; every wait has a deadline, so a hang fails.
Exit code 77: Wine cannot run here (skipped).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import wine_harness  # noqa: E402

STATUS_LINE = re.compile(r"^TIME: (\d+\.\d\d)   FRAME: (\d+)   FPS: \d+\.\d\d / (inf|\d+\.\d\d)$")
BYTES_PER_SECOND = 44100 * 8


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


class Intro:
    """intro.exe running in a session, with the probe to look at it."""

    def __init__(self, session, intro, probe):
        self.session = session
        self.probe_exe = probe
        self.process = session.start([wine_harness.WINE, intro], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def probe(self, *args):
        code, out = self.session.wine([self.probe_exe] + list(args), timeout=60)
        expect(code == 0, "window_probe %s failed with %d" % (" ".join(args), code))
        values = {}
        texts = []
        for line in out.splitlines():
            key, _, value = line.partition(" ")
            if key == "text":
                texts.append(value)
            else:
                values[key] = value
        values["texts"] = texts
        return values

    def wait_for(self, what, test, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            expect(self.process.poll() is None, "intro.exe ended early (%s) waiting for %s"
                   % (self.process.returncode, what))
            result = test()
            if result:
                return result
            time.sleep(0.5)
        raise Failure("no %s within %d s" % (what, seconds))

    def window(self, seconds=90):
        return self.wait_for("window of class qv_",
                             lambda: (lambda v: v if v.get("found") == "1" else None)(self.probe("info")),
                             seconds)

    def status(self, min_frame=1, seconds=90):
        def test():
            info = self.probe("info")
            match = STATUS_LINE.match(info.get("title", ""))
            if match and int(match.group(2)) >= min_frame:
                return info, float(match.group(1)), int(match.group(2))
            return None
        return self.wait_for("status line with FRAME >= %d" % min_frame, test, seconds)

    def wait_exit(self, seconds):
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            raise Failure("intro.exe did not end within %d s" % seconds)


def numbers(text):
    return [int(part) for part in text.split()]


def scenario_window_and_title(intro, args):
    info = intro.window()
    title = info.get("title", "")
    expect(title == "Intro" or STATUS_LINE.match(title), "unexpected first title %r" % title)
    expect(numbers(info["client"]) == [1280, 720], "client area %s, expected 1280 720" % info["client"])
    left, top, right, bottom = numbers(info["outer"])
    width, height = numbers(info["screen"])
    expect(left == (width - (right - left)) // 2 and top == (height - (bottom - top)) // 2,
           "window %s not centred on %s" % (info["outer"], info["screen"]))
    _, _, first = intro.status(1)
    _, _, later = intro.status(first + 2)
    expect(later > first, "FRAME does not count up")
    intro.probe("close")
    expect(intro.wait_exit(30) == 0, "exit code not 0")


def read_ppm(path):
    with open(path, "rb") as image:
        data = image.read()
    parts = data.split(maxsplit=4)
    expect(parts[0] == b"P6", "screenshot is not a binary PPM")
    width, height, maximum = int(parts[1]), int(parts[2]), int(parts[3])
    expect(maximum == 255, "unexpected PPM depth")
    pixels = parts[4]
    return width, height, pixels


def scenario_screenshot_bars(intro, args):
    intro.window()
    info, _, _ = intro.status(3)
    x0, y0 = numbers(info["client_origin"])
    left = numbers(info["outer"])[0]
    shot = os.path.join(intro.session.workdir, "screen.ppm")
    result = intro.session.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "1920x1080",
                                "-i", intro.session.display, "-frames:v", "1", "-pix_fmt", "rgb24",
                                "-c:v", "ppm", "-f", "image2", shot], timeout=60)
    expect(result.returncode == 0, "ffmpeg could not grab the screen")
    width, height, pixels = read_ppm(shot)

    def pixel(x, y):
        offset = (y * width + x) * 3
        return tuple(pixels[offset:offset + 3])

    expect(0 <= x0 and x0 + 1280 <= width and 0 <= y0 and y0 + 720 <= height, "client area off screen")
    # Outside the window the root is white: the coordinates point at the screen.
    if left > 0:
        expect(pixel(left - 1, y0 + 360) == (255, 255, 255), "left of the window is not the white root")
    # The two 90-row bars at the top and bottom of the client area are black.
    for rows in (range(0, 90), range(630, 720)):
        for row in rows:
            y = y0 + row
            line = pixels[(y * width + x0) * 3:(y * width + x0 + 1280) * 3]
            expect(line.count(0) == len(line), "bar row %d is not black" % row)
    # Between them the post pass draws: even a black scene shows as a lifted
    # dark grey, so the first and last picture rows and the middle are not 0.
    for row in (90, 360, 629):
        y = y0 + row
        line = pixels[(y * width + x0) * 3:(y * width + x0 + 1280) * 3]
        expect(max(line) > 0, "picture row %d is black" % row)
    intro.probe("close")
    expect(intro.wait_exit(30) == 0, "exit code not 0")


def scenario_debug_log(intro, args):
    intro.window()
    intro.status(1)
    path = os.path.join(intro.session.workdir, "dbgout.txt")
    expect(os.path.exists(path), "dbgout.txt missing")
    expect(os.path.getsize(path) == 0, "dbgout.txt not empty while running")
    intro.probe("close")
    expect(intro.wait_exit(30) == 0, "exit code not 0")
    expect(os.path.getsize(path) == 0, "dbgout.txt not empty after the run")


def scenario_escape_quits(intro, args):
    intro.window()
    intro.status(1)
    session = intro.session
    # Wine hands the new title to X a little after the window has it.
    ids = []
    deadline = time.time() + 30
    while not ids and time.time() < deadline:
        found = session.run(["xdotool", "search", "--name", "^TIME: "], timeout=30, stdout=subprocess.PIPE)
        ids = found.stdout.decode().split()
        if not ids:
            time.sleep(0.5)
    expect(ids, "no X window with the status line title")
    session.run(["xdotool", "windowfocus", "--sync", ids[0]], timeout=30)
    session.run(["xdotool", "key", "--delay", "200", "Escape"], timeout=30)
    # The loop sees the key after the frame in flight, which takes seconds on llvmpipe.
    expect(intro.wait_exit(30) == 0, "exit code not 0")


def scenario_close_quits(intro, args):
    intro.window()
    intro.status(1)
    expect(intro.probe("close").get("posted") == "1", "WM_CLOSE not posted")
    expect(intro.wait_exit(30) == 0, "exit code not 0")


def box(intro, caption, seconds=90):
    return intro.wait_for("message box %r" % caption,
                          lambda: (lambda v: v if v.get("found") == "1" else None)(intro.probe("box", caption)),
                          seconds)


def scenario_no_audio_device(intro, args):
    sound = box(intro, "SoundInfo")
    expect("waveOutOpen failed." in sound["texts"], "SoundInfo box says %r" % sound["texts"])
    expect(intro.probe("box", "error").get("found") == "0", "error box before SoundInfo was dismissed")
    intro.probe("press", "SoundInfo")
    error = box(intro, "error", 30)
    expect("intro_init()!" in error["texts"], "error box says %r" % error["texts"])
    intro.probe("press", "error")
    expect(intro.wait_exit(15) == 0, "exit code not 0")


def scenario_audio_stream(intro, args):
    intro.window()
    _, seconds, _ = intro.status(2)
    deadline = time.time() + 120
    while seconds < 1.0 and time.time() < deadline:
        _, seconds, _ = intro.status(1)
        time.sleep(0.5)
    expect(seconds >= 1.0, "playback position did not reach 1 s")
    intro.probe("close")
    expect(intro.wait_exit(30) == 0, "exit code not 0")
    capture = intro.session.capture_path
    expect(os.path.exists(capture), "the device wrote no stream")
    size = os.path.getsize(capture)
    # 32-bit float stereo: 8 bytes a frame, 352,800 bytes a second; the
    # device played at least up to the last position shown in the title and
    # never more than the 125 s buffer.
    expect(size % 8 == 0, "captured %d bytes, not whole 8-byte frames" % size)
    expect(size >= int((seconds - 0.1) * BYTES_PER_SECOND), "captured %d bytes, less than %.2f s" % (size, seconds))
    expect(size <= 44100000, "captured more than the 125 s buffer")


SCENARIOS = {
    "window_and_title": (scenario_window_and_title, "file", False),
    "screenshot_bars": (scenario_screenshot_bars, "file", False),
    "debug_log": (scenario_debug_log, "file", True),
    "escape_quits": (scenario_escape_quits, "file", False),
    "close_quits": (scenario_close_quits, "file", False),
    "no_audio_device": (scenario_no_audio_device, "none", False),
    "audio_stream": (scenario_audio_stream, "file", False),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--intro", required=True)
    parser.add_argument("--probe", required=True)
    args = parser.parse_args()
    wine_harness.require_wine()
    run, audio, old_log = SCENARIOS[args.scenario]
    shutil.rmtree(args.workdir, ignore_errors=True)
    os.makedirs(args.workdir)
    if old_log:
        with open(os.path.join(args.workdir, "dbgout.txt"), "w") as log:
            log.write("left over from an earlier run\n")
    with wine_harness.Session(args.prefix, args.workdir, audio=audio) as session:
        intro = Intro(session, os.path.abspath(args.intro), os.path.abspath(args.probe))
        try:
            run(intro, args)
        except Failure as failure:
            print("FAILED:", failure)
            return 1
        except subprocess.TimeoutExpired as timeout:
            print("FAILED: timed out:", timeout)
            return 1
    print("passed:", args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
