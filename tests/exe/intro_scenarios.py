#!/usr/bin/env python3
"""Scenarios of the real intro.exe under Wine on Xvfb with Mesa's llvmpipe.

  intro_scenarios.py SCENARIO --prefix DIR --workdir DIR --intro EXE --probe EXE
                    [--broken EXE] [--standin DLL] [--render INTRO_RENDER]

Each scenario starts intro.exe in a fresh working folder on its own display,
checks what it must and ends it; every wait has a deadline, so a hang fails.
Some run the test build with a shader that does not compile (--broken), some
run a copy of intro.exe beside the scripted wave-out device (--standin, the
tests' own winmm.dll) so that it draws frames at chosen sample positions,
and one compares those with intro-render (--render).
Exit code 77: Wine cannot run here (skipped).
"""

import argparse
import os
import re
import shutil
import struct
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

    def __init__(self, session, intro, probe, extra_env=None, cwd=None):
        self.session = session
        self.probe_exe = probe
        self.cwd = cwd or session.workdir
        self.process = session.start([wine_harness.WINE, intro], extra_env=extra_env, cwd=self.cwd,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

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
    expect(intro.wait_exit(120) == 0, "exit code not 0")


def read_ppm(path):
    with open(path, "rb") as image:
        data = image.read()
    parts = data.split(maxsplit=4)
    expect(parts[0] == b"P6", "screenshot is not a binary PPM")
    width, height, maximum = int(parts[1]), int(parts[2]), int(parts[3])
    expect(maximum == 255, "unexpected PPM depth")
    pixels = parts[4]
    return width, height, pixels


def grab_screen(intro, name="screen.ppm"):
    """The whole Xvfb screen as (width, height, rgb bytes)."""
    shot = os.path.join(intro.session.workdir, name)
    result = intro.session.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "1920x1080",
                                "-i", intro.session.display, "-frames:v", "1", "-pix_fmt", "rgb24",
                                "-c:v", "ppm", "-f", "image2", shot], timeout=60)
    expect(result.returncode == 0, "ffmpeg could not grab the screen")
    return read_ppm(shot)


def screen_row(screen, x, y, count):
    width, _, pixels = screen
    return pixels[(y * width + x) * 3:(y * width + x + count) * 3]


def expect_letterboxed(screen, x0, y0, what):
    """The 1280 x 720 frame at (x0, y0): 90 black rows at the top and the
    bottom, the post pass's picture (never 0: black lifts to dark grey) in
    between."""
    for rows in (range(0, 90), range(630, 720)):
        for row in rows:
            line = screen_row(screen, x0, y0 + row, 1280)
            expect(line.count(0) == len(line), "%s: bar row %d is not black" % (what, row))
    for row in (90, 360, 629):
        expect(max(screen_row(screen, x0, y0 + row, 1280)) > 0, "%s: picture row %d is black" % (what, row))


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
    expect(intro.wait_exit(120) == 0, "exit code not 0")


def scenario_debug_log(intro, args):
    intro.window()
    intro.status(1)
    path = os.path.join(intro.session.workdir, "dbgout.txt")
    expect(os.path.exists(path), "dbgout.txt missing")
    expect(os.path.getsize(path) == 0, "dbgout.txt not empty while running")
    intro.probe("close")
    expect(intro.wait_exit(120) == 0, "exit code not 0")
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
    expect(intro.wait_exit(120) == 0, "exit code not 0")


def scenario_close_quits(intro, args):
    intro.window()
    intro.status(1)
    expect(intro.probe("close").get("posted") == "1", "WM_CLOSE not posted")
    expect(intro.wait_exit(120) == 0, "exit code not 0")


def box(intro, caption, seconds=90):
    return intro.wait_for("message box %r" % caption,
                          lambda: (lambda v: v if v.get("found") == "1" else None)(intro.probe("box", caption)),
                          seconds)


def scenario_no_audio_device(intro, args):
    """The two boxes in order, and the window already released (release
    first, then the box) when "intro_init()!" shows."""
    sound = box(intro, "SoundInfo")
    expect("waveOutOpen failed." in sound["texts"], "SoundInfo box says %r" % sound["texts"])
    expect(intro.probe("box", "error").get("found") == "0", "error box before SoundInfo was dismissed")
    intro.probe("press", "SoundInfo")
    error = box(intro, "error", 30)
    expect("intro_init()!" in error["texts"], "error box says %r" % error["texts"])
    expect(intro.probe("info").get("found") == "0", "the window still exists while the error box shows")
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
    expect(intro.wait_exit(120) == 0, "exit code not 0")
    capture = intro.session.capture_path
    expect(os.path.exists(capture), "the device wrote no stream")
    size = os.path.getsize(capture)
    # 32-bit float stereo: 8 bytes a frame, 352,800 bytes a second; the
    # device played at least up to the last position shown in the title and
    # never more than the 125 s buffer.
    expect(size % 8 == 0, "captured %d bytes, not whole 8-byte frames" % size)
    expect(size >= int((seconds - 0.1) * BYTES_PER_SECOND), "captured %d bytes, less than %.2f s" % (size, seconds))
    expect(size <= 44100000, "captured more than the 125 s buffer")


def scenario_error_box_stays(intro, args):
    # Start-up fails after the window is gone: the box must wait for the user
    # although the window's destruction posted a quit message.
    box(intro, "SoundInfo")
    intro.probe("press", "SoundInfo")
    error = box(intro, "error", 30)
    expect("intro_init()!" in error["texts"], "error box says %r" % error["texts"])
    expect(intro.probe("info").get("found") == "0", "the window still exists while the error box is up")
    time.sleep(3)
    expect(intro.process.poll() is None, "intro.exe ended (%s) before the error box was dismissed"
           % intro.process.returncode)
    expect(intro.probe("box", "error").get("found") == "1", "the error box went away by itself")
    intro.probe("press", "error")
    expect(intro.wait_exit(15) == 0, "exit code not 0")


def scenario_close_during_error_box(intro, args):
    # Closing the window while "waveOutOpen failed." is up ends that box; the
    # error box that follows the release still waits to be read.
    box(intro, "SoundInfo")
    intro.probe("close")
    error = box(intro, "error", 30)
    expect("intro_init()!" in error["texts"], "error box says %r" % error["texts"])
    time.sleep(2)
    expect(intro.probe("box", "error").get("found") == "1", "the error box went away by itself")
    intro.probe("press", "error")
    expect(intro.wait_exit(15) == 0, "exit code not 0")


def scenario_shader_link_failure(intro, args):
    program = box(intro, "ProgramInfo")
    log = "\n".join(program["texts"])
    expect("no_such_function" in log, "ProgramInfo box does not carry the compile error: %r" % log)
    expect(intro.probe("box", "ShaderInfo").get("found") == "0", "ShaderInfo box before ProgramInfo was dismissed")
    intro.probe("press", "ProgramInfo")
    box(intro, "ShaderInfo", 30)
    expect(intro.probe("box", "ProgramInfo").get("found") == "0", "ProgramInfo box still up with ShaderInfo")
    intro.probe("press", "ShaderInfo")
    # A failed link is not fatal: the loop runs and counts frames.
    _, _, first = intro.status(1, 60)
    _, _, later = intro.status(first + 2, 60)
    expect(later > first, "FRAME does not count up after the shader boxes")
    intro.probe("close")
    expect(intro.wait_exit(120) == 0, "exit code not 0")


def scenario_close_during_shader_box(intro, args):
    # The main window exists while the shader boxes are up; closing it ends
    # the boxes and the program, with 0 and without a hang.
    box(intro, "ProgramInfo")
    expect(intro.probe("close").get("posted") == "1", "WM_CLOSE not posted")
    expect(intro.wait_exit(60) == 0, "exit code not 0")


def wait_window_state(intro, what, test, seconds=180):
    """Waits until the window's probe info passes test and returns it. Wine
    sets the minimised or maximised flag before it applies the new size, so
    callers test the flag and the client area together; a time-out names the
    state last seen."""
    last = {}

    def probe():
        last.clear()
        last.update(intro.probe("info"))
        return dict(last) if test(last) else None
    try:
        return intro.wait_for(what, probe, seconds)
    except Failure as failure:
        raise Failure("%s (last seen: iconic %s, zoomed %s, client %s)"
                      % (failure, last.get("iconic"), last.get("zoomed"), last.get("client"))) from None


def scenario_minimise_restore(intro, args):
    intro.window()
    _, before, frame = intro.status(2)
    expect(intro.probe("minimize").get("posted") == "1", "minimise not posted")
    intro.wait_for("minimised window", lambda: intro.probe("info").get("iconic") == "1", 180)
    minimised_at = time.time()
    time.sleep(1.5)
    _, during, frame_during = intro.status(frame + 1, 60)
    expect(time.time() - minimised_at > 1.0, "not minimised for a second")
    expect(intro.probe("restore").get("posted") == "1", "restore not posted")
    wait_window_state(intro, "restored window with a 1280x720 client area",
                      lambda info: info.get("iconic") == "0" and numbers(info.get("client", "")) == [1280, 720])
    # Two frames begun after the restore, so one has been drawn and shown
    # over whatever the restore painted: then the picture is back.
    _, _, restored_frame = intro.status(1)
    _, after, _ = intro.status(restored_frame + 2, 180)
    info = intro.probe("info")
    x0, y0 = numbers(info["client_origin"])
    expect_letterboxed(grab_screen(intro), x0, y0, "after restore")
    # The sound went on through it all: the position kept moving and the
    # device wrote at least that much.
    expect(after >= before + 1.0, "position went from %.2f only to %.2f over the minimised second" % (before, after))
    intro.probe("close")
    expect(intro.wait_exit(180) == 0, "exit code not 0")
    size = os.path.getsize(intro.session.capture_path)
    expect(size >= int((after - 0.1) * BYTES_PER_SECOND), "captured %d bytes, less than %.2f s" % (size, after))


QUERY_LINE = re.compile(r"^query (\d+) position (-?\d+) viewport (-?\d+) (-?\d+) (-?\d+) (-?\d+) texture (\d+) (\d+)$")


def standin_log(intro):
    """The stand-in's log: (queries as tuples of ints, other lines split)."""
    path = os.path.join(intro.cwd, "wave_standin.log")
    queries, other = [], []
    if os.path.exists(path):
        with open(path) as log:
            for line in log.read().splitlines():
                match = QUERY_LINE.match(line)
                if match:
                    queries.append(tuple(int(g) for g in match.groups()))
                elif line:
                    other.append(line.split())
    return queries, other


def wait_query(intro, what, test, seconds=90):
    return intro.wait_for(what, lambda: next((q for q in standin_log(intro)[0] if test(q)), None), seconds)


def standin_image(intro, width, height, seconds=180):
    """Asks the stand-in for the next frame's image; returns it, bottom row
    first, once it is saved at that size."""
    log_path = os.path.join(intro.cwd, "wave_standin.log")
    image_path = os.path.join(intro.cwd, "window.rgba")
    if os.path.exists(image_path):
        os.remove(image_path)
    with open(log_path) as log:
        seen = len(log.read().splitlines())
    open(os.path.join(intro.cwd, "capture.now"), "w").close()

    def saved():
        with open(log_path) as log:
            lines = log.read().splitlines()[seen:]
        return next((line.split() for line in lines if line.startswith("capture ")), None)
    capture = intro.wait_for("image from the stand-in", saved, seconds)
    expect(capture[1:] == [str(width), str(height)], "image saved at %s, expected %dx%d" % (capture[1:], width, height))
    with open(image_path, "rb") as image:
        pixels = image.read()
    expect(len(pixels) == width * height * 4, "image of %d bytes" % len(pixels))
    return pixels


def expect_picture_rows(pixels, width, height, what):
    """Rows counted from the bottom of the viewport, as the shader sees them:
    the lower bar 0..89, picture 90..629, the upper bar from 630 on. The
    whole width is drawn: beyond column 1280 the post pass reads the
    1280-wide target again (repeat wrap)."""
    for row in range(height):
        line = pixels[row * width * 4:(row + 1) * width * 4]
        rgb_max = max(max(line[0::4]), max(line[1::4]), max(line[2::4]))
        if row < 90 or row >= 630:
            expect(rgb_max == 0, "%s: bar row %d from the bottom is not black" % (what, row))
        elif row in (90, 360, min(629, height - 1)):
            for start in range(0, width, 320):
                part = line[start * 4:min(width, start + 320) * 4]
                expect(max(part[0::4] + part[1::4] + part[2::4]) > 0,
                       "%s: picture row %d is black from column %d" % (what, row, start))


def scenario_resize_maximise(intro, args):
    intro.window()
    intro.status(1)
    expect(intro.probe("resize", "960", "540").get("resized") == "1", "SetWindowPos failed")
    info = intro.probe("info")
    expect(numbers(info["client"]) == [960, 540], "client area %s after resizing" % info["client"])
    wait_query(intro, "frame with the 960 x 540 viewport", lambda q: q[2:6] == (0, 0, 960, 540), 180)
    expect_picture_rows(standin_image(intro, 960, 540), 960, 540, "resized")
    expect(intro.probe("maximize").get("posted") == "1", "maximise not posted")
    info = wait_window_state(intro, "maximised window with a new client area",
                             lambda info: info.get("zoomed") == "1" and numbers(info.get("client", "")) != [960, 540])
    width, height = numbers(info["client"])
    expect(width > 1280 and height > 720, "maximised client area %dx%d is not larger than 1280x720" % (width, height))
    wait_query(intro, "frame with the %d x %d viewport" % (width, height), lambda q: q[2:6] == (0, 0, width, height),
               180)
    expect_picture_rows(standin_image(intro, width, height), width, height, "maximised")
    queries, _ = standin_log(intro)
    for query in queries:
        expect(query[6:8] == (1280, 720), "query %d: the bound target is %dx%d" % (query[0], query[6], query[7]))
    intro.probe("close")
    expect(intro.wait_exit(180) == 0, "exit code not 0")


END_POSITION = 5512500


def scenario_past_the_end(intro, args):
    intro.window()
    # The stand-in starts two frames before the end and stops at it: the
    # third frame is at the end.
    _, seconds, frame = intro.status(3, 240)
    expect(abs(seconds - 125.0) < 1e-9, "TIME %.2f after the end, expected 125.00" % seconds)
    _, seconds, _ = intro.status(frame + 1, 180)
    expect(abs(seconds - 125.0) < 1e-9, "TIME moved to %.2f after the end" % seconds)
    queries, other = standin_log(intro)
    expect(queries[0][1] == END_POSITION - 2 * 735, "first position %d" % queries[0][1])
    for query in queries[2:]:
        expect(query[1] == END_POSITION, "query %d: position %d past the end" % (query[0], query[1]))
    capture = [line for line in other if line[0] == "capture"]
    expect(capture and capture[0][1:] == ["1280", "720"], "no 1280x720 image saved: %r" % other)
    with open(os.path.join(intro.cwd, "window.rgba"), "rb") as image:
        pixels = image.read()
    expect(len(pixels) == 1280 * 720 * 4, "image of %d bytes" % len(pixels))
    lit = sum(1 for i in range(0, len(pixels), 4) if pixels[i] or pixels[i + 1] or pixels[i + 2])
    expect(lit == 0, "%d pixels not black at the end of the film" % lit)
    scenario_escape_quits(intro, args)


def scenario_read_only_folder(intro, args):
    intro.window()
    _, _, first = intro.status(1)
    _, _, later = intro.status(first + 2)
    expect(later > first, "FRAME does not count up")
    expect(not os.path.isfile(os.path.join(intro.cwd, "dbgout.txt")), "a debug log was made in the read-only folder")
    intro.probe("close")
    expect(intro.wait_exit(180) == 0, "exit code not 0")


def read_wav_floats(path):
    """Samples of a 32-bit float WAV as raw little-endian bytes, and the channel count."""
    with open(path, "rb") as wav:
        data = wav.read()
    expect(data[:4] == b"RIFF" and data[8:12] == b"WAVE", "%s is not a WAV file" % path)
    offset, channels, body = 12, 0, None
    while offset + 8 <= len(data):
        chunk, size = data[offset:offset + 4], struct.unpack("<I", data[offset + 4:offset + 8])[0]
        content = data[offset + 8:offset + 8 + size]
        if chunk == b"fmt ":
            tag, channels, _, _, _, bits = struct.unpack("<HHIIHH", content[:16])
            expect(tag in (3, 0xFFFE) and bits == 32, "%s is not 32-bit float" % path)
        elif chunk == b"data":
            body = content
        offset += 8 + size + (size & 1)
    expect(body is not None, "%s has no data chunk" % path)
    return body, channels


def scenario_matches_renderer(intro, args):
    """The real program, driven by the stand-in, against intro-render: the
    window image after MATCH_WARMUP + 1 frames and the samples written ahead."""
    expect(intro.wait_exit(600) == 0, "exit code not 0")
    queries, other = standin_log(intro)
    positions = [q[1] for q in queries[:MATCH_WARMUP + 1]]
    expected = [MATCH_POSITION - 735 * k for k in range(MATCH_WARMUP, -1, -1)]
    expect(positions == expected, "positions %r, expected %r" % (positions, expected))
    for query in queries:
        expect(query[2:8] == (0, 0, 1280, 720, 1280, 720), "query %r: viewport or target not 1280x720" % (query,))
    expect(["capture", "1280", "720"] in other, "no window image saved: %r" % other)
    workdir = intro.session.workdir

    reference = os.path.join(workdir, "reference.png")
    seconds = repr(MATCH_POSITION / 44100.0)
    result = subprocess.run([args.render, "frame", "--time", seconds, "--warmup", str(MATCH_WARMUP),
                             "--out", reference], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    expect(result.returncode == 0, "intro-render frame failed: %s" % result.stdout.decode(errors="replace"))
    decoded = subprocess.run(["ffmpeg", "-loglevel", "error", "-i", reference, "-f", "rawvideo",
                              "-pix_fmt", "rgb24", "-"], stdout=subprocess.PIPE, timeout=60)
    expect(decoded.returncode == 0 and len(decoded.stdout) == 1280 * 720 * 3, "could not decode %s" % reference)
    expected_rgb = decoded.stdout
    with open(os.path.join(intro.cwd, "window.rgba"), "rb") as image:
        window = image.read()
    expect(len(window) == 1280 * 720 * 4, "window image of %d bytes" % len(window))
    differing, largest, first_place = 0, 0, None
    for row in range(720):
        got = window[(719 - row) * 1280 * 4:(720 - row) * 1280 * 4]   # bottom row first
        want = expected_rgb[row * 1280 * 3:(row + 1) * 1280 * 3]
        got_rgb = bytes(b for i, b in enumerate(got) if i % 4 != 3)
        if got_rgb != want:
            for column in range(1280):
                a, b = got_rgb[column * 3:column * 3 + 3], want[column * 3:column * 3 + 3]
                if a != b:
                    differing += 1
                    largest = max(largest, max(abs(x - y) for x, y in zip(a, b)))
                    if first_place is None:
                        first_place = (column, row, tuple(a), tuple(b))
    expect(differing == 0, "%d pixels differ from intro-render (largest difference %d; first at column %d, "
           "row %d from the top: %r, intro-render %r)" % ((differing, largest) + first_place if first_place else
                                                           (differing, largest, 0, 0, (), ())))

    audio = [line for line in other if line[0] == "audio"]
    expect(audio, "the stand-in saved no audio: %r" % other)
    first, count = int(audio[0][1]), int(audio[0][2])
    expect(first == expected[0] + 105 and count == expected[-1] + 44099 - first + 1,
           "audio span %d + %d, expected the frames' write-ahead %d .. %d" % (first, count, expected[0] + 105,
                                                                                expected[-1] + 44099))
    song = os.path.join(workdir, "song.wav")
    result = subprocess.run([args.render, "audio", "--from", repr(first / 44100.0),
                             "--to", repr((first + count) / 44100.0), "--out", song],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    expect(result.returncode == 0, "intro-render audio failed: %s" % result.stdout.decode(errors="replace"))
    exported, channels = read_wav_floats(song)
    expect(channels == 2, "export has %d channels" % channels)
    with open(os.path.join(intro.cwd, "audio.f32"), "rb") as raw:
        written = raw.read()
    expect(len(written) == count * 8 and len(exported) == count * 8,
           "%d bytes written ahead, %d exported, expected %d" % (len(written), len(exported), count * 8))
    if written != exported:
        index = next(i for i in range(count) if written[i * 8:i * 8 + 8] != exported[i * 8:i * 8 + 8])
        raise Failure("sample frame %d differs from the export: %r against %r" % (
            first + index, struct.unpack("<2f", written[index * 8:index * 8 + 8]),
            struct.unpack("<2f", exported[index * 8:index * 8 + 8])))


# The deterministic run: frames at 47 s - k/60 for k = 2 .. 0, as
# `intro-render frame --time 47 --warmup 2` draws them.
MATCH_POSITION = 47 * 44100
MATCH_WARMUP = 2


def run_scenario(run, intro, args):
    """Runs one scenario; prints why it failed and returns False, or True."""
    try:
        run(intro, args)
    except Failure as failure:
        print("FAILED:", failure)
        return False
    except subprocess.TimeoutExpired as timeout:
        print("FAILED: timed out:", timeout)
        return False
    return True


class Setup:
    """How a scenario starts the intro: the ALSA device, a stale debug log,
    which program, the stand-in's script, a read-only working folder."""

    def __init__(self, run, audio="file", old_log=False, program="intro", standin=None, read_only=False):
        self.run, self.audio, self.old_log = run, audio, old_log
        self.program, self.standin, self.read_only = program, standin, read_only


SCENARIOS = {
    "window_and_title": Setup(scenario_window_and_title),
    "screenshot_bars": Setup(scenario_screenshot_bars),
    "debug_log": Setup(scenario_debug_log, old_log=True),
    "escape_quits": Setup(scenario_escape_quits),
    "close_quits": Setup(scenario_close_quits),
    "no_audio_device": Setup(scenario_no_audio_device, audio="none"),
    "audio_stream": Setup(scenario_audio_stream),
    "error_box_stays": Setup(scenario_error_box_stays, audio="none"),
    "close_during_error_box": Setup(scenario_close_during_error_box, audio="none"),
    "shader_link_failure": Setup(scenario_shader_link_failure, program="broken"),
    "close_during_shader_box": Setup(scenario_close_during_shader_box, program="broken"),
    "minimise_restore": Setup(scenario_minimise_restore),
    "resize_maximise": Setup(scenario_resize_maximise, standin={"INTRO_WAVE_START": str(47 * 44100)}),
    "past_the_end": Setup(scenario_past_the_end, standin={
        "INTRO_WAVE_START": str(END_POSITION - 2 * 735), "INTRO_WAVE_FRAMES": "3", "INTRO_WAVE_KEEP_RUNNING": "1"}),
    "read_only_folder": Setup(scenario_read_only_folder, read_only=True),
    "matches_renderer": Setup(scenario_matches_renderer, standin={
        "INTRO_WAVE_START": str(MATCH_POSITION - 735 * MATCH_WARMUP), "INTRO_WAVE_FRAMES": str(MATCH_WARMUP + 1)}),
}

IN_MOUNT_NAMESPACE = "INTRO_SCENARIO_MOUNT_NAMESPACE"


def unshare_works():
    if not shutil.which("unshare"):
        return False
    return subprocess.run(["unshare", "--mount", "--propagation", "private", "true"],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def make_read_only(folder):
    """Makes the folder read-only for the intro; returns how, or None.

    chmod is enough for an ordinary user. Root writes anyway, so there the
    scenario runs in a mount namespace of its own (see main) and the folder
    becomes a read-only bind mount of itself."""
    os.chmod(folder, 0o555)
    if os.geteuid() == 0 and os.environ.get(IN_MOUNT_NAMESPACE) != "1":
        # Root without mount namespaces: the log's name taken by a folder
        # still makes the open fail, which is what the scenario is about.
        os.chmod(folder, 0o755)
        os.mkdir(os.path.join(folder, "dbgout.txt"))
        os.chmod(folder, 0o555)
        return "a folder named dbgout.txt (root, no mount namespace)"
    if os.environ.get(IN_MOUNT_NAMESPACE) == "1":
        for command in (["mount", "--bind", folder, folder], ["mount", "-o", "remount,bind,ro", folder]):
            if subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
                return None
    try:
        with open(os.path.join(folder, "probe.tmp"), "w"):
            pass
    except OSError:
        return "read-only mount" if os.environ.get(IN_MOUNT_NAMESPACE) == "1" else "chmod 555"
    os.remove(os.path.join(folder, "probe.tmp"))
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--intro", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--broken", help="the intro built with a shader that does not compile")
    parser.add_argument("--standin", help="the scripted wave-out device, winmm.dll")
    parser.add_argument("--render", help="intro-render")
    args = parser.parse_args()
    wine_harness.require_wine()
    setup = SCENARIOS[args.scenario]
    if setup.read_only and os.geteuid() == 0 and os.environ.get(IN_MOUNT_NAMESPACE) != "1" and unshare_works():
        # Root ignores permissions: run the whole scenario, Wine's server
        # included, in a private mount namespace where a read-only bind
        # mount is possible.
        env = dict(os.environ)
        env[IN_MOUNT_NAMESPACE] = "1"
        result = subprocess.run(["unshare", "--mount", "--propagation", "private", sys.executable,
                                 os.path.abspath(__file__)] + sys.argv[1:], env=env)
        return result.returncode
    for needed in (("broken",) if setup.program == "broken" else ()) + (("standin",) if setup.standin else ()) + \
            (("render",) if setup.run is scenario_matches_renderer else ()):
        if not getattr(args, needed):
            print("FAILED: scenario %s needs --%s" % (args.scenario, needed))
            return 1
    shutil.rmtree(args.workdir, ignore_errors=True)
    os.makedirs(args.workdir)
    if setup.old_log:
        with open(os.path.join(args.workdir, "dbgout.txt"), "w") as log:
            log.write("left over from an earlier run\n")
    program = os.path.abspath(args.broken if setup.program == "broken" else args.intro)
    extra_env, cwd = None, None
    if setup.standin:
        # A copy of the program beside the stand-in: Wine takes winmm.dll from
        # the program's folder when the override names the native one.
        cwd = os.path.join(args.workdir, "run")
        os.makedirs(cwd)
        shutil.copy(program, os.path.join(cwd, "intro.exe"))
        shutil.copy(args.standin, os.path.join(cwd, "winmm.dll"))
        program = os.path.join(cwd, "intro.exe")
        extra_env = dict(setup.standin)
        extra_env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winmm=n"
    with wine_harness.Session(args.prefix, args.workdir, audio=setup.audio) as session:
        if setup.read_only:
            cwd = os.path.join(args.workdir, "read-only")
            os.makedirs(cwd)
            how = make_read_only(cwd)
            if how is None:
                print("FAILED: could not make %s read-only" % cwd)
                return 1
            print("working folder made read-only by", how)
        intro = Intro(session, program, os.path.abspath(args.probe), extra_env, cwd)
        try:
            if not run_scenario(setup.run, intro, args):
                return 1
        finally:
            if setup.read_only:
                # (The session must be gone before the folder is released.)
                session.__exit__(None, None, None)
                if os.environ.get(IN_MOUNT_NAMESPACE) == "1":
                    subprocess.run(["umount", cwd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    os.chmod(cwd, 0o755)
                except OSError:
                    pass
    print("passed:", args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
