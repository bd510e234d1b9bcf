#!/usr/bin/env python3
"""Scenarios of the real intro-release.exe under Wine on Xvfb with Mesa.

  release_scenarios.py SCENARIO --prefix DIR --workdir DIR --intro EXE --probe EXE

The release program has no status line and no debug log, so frames are
seen on the screen instead of in the title: the GL has drawn once the two
letterbox bars are black (before that the window shows its background
brush). Built on the debug program's scenarios and harness.
Exit code 77: Wine cannot run here (skipped).
"""

import argparse
import array
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "exe"))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
import intro_scenarios  # noqa: E402
import wine_harness  # noqa: E402
from intro_scenarios import expect, numbers  # noqa: E402


def grab(intro, info):
    """The client area's rows as byte strings (RGB), top row first."""
    x0, y0 = numbers(info["client_origin"])
    shot = os.path.join(intro.session.workdir, "screen.ppm")
    result = intro.session.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "1920x1080",
                                "-i", intro.session.display, "-frames:v", "1", "-pix_fmt", "rgb24",
                                "-c:v", "ppm", "-f", "image2", shot], timeout=60)
    expect(result.returncode == 0, "ffmpeg could not grab the screen")
    width, height, pixels = intro_scenarios.read_ppm(shot)
    expect(0 <= x0 and x0 + 1280 <= width and 0 <= y0 and y0 + 720 <= height, "client area off screen")
    return [pixels[((y0 + row) * width + x0) * 3:((y0 + row) * width + x0 + 1280) * 3] for row in range(720)]


# The loop ends after the frame in flight, which can take a minute on a busy
# machine (llvmpipe, 1280x720, the whole audio band).
EXIT_SECONDS = 150

BRUSH = bytes((0x30, 0x20, 0x10))  # the window class's background, RGB


def drawn(rows):
    """True once a frame is on screen: both bars exactly black, and the
    picture rows no longer the background brush (they are a lifted dark grey
    during the film, black once the music is over)."""
    bars_black = all(max(rows[row]) == 0 for row in list(range(0, 90)) + list(range(630, 720)))
    picture = all(rows[row] != BRUSH * 1280 for row in (90, 360, 629))
    return bars_black and picture


def wait_for_picture(intro, seconds=240):
    # The first frame can take a minute on llvmpipe on a busy machine.
    info = intro.window()
    return intro.wait_for("the intro's picture (black bars, drawn picture rows)",
                          lambda: (lambda rows: (info, rows) if drawn(rows) else None)(grab(intro, info)),
                          seconds)


def scenario_window(intro, args):
    info = intro.window()
    expect(numbers(info["client"]) == [1280, 720], "client area %s, expected 1280 720" % info["client"])
    left, top, right, bottom = numbers(info["outer"])
    width, height = numbers(info["screen"])
    expect(left == (width - (right - left)) // 2 and top == (height - (bottom - top)) // 2,
           "window %s not centred on %s" % (info["outer"], info["screen"]))
    # The picture: black bars, drawn rows between them.
    wait_for_picture(intro)
    # Frames are being drawn; the title stays the window's own.
    expect(intro.probe("info").get("title") == "Intro", "title changed from 'Intro'")
    intro.probe("close")
    expect(intro.wait_exit(EXIT_SECONDS) == 0, "exit code not 0")
    expect(not os.path.exists(os.path.join(intro.session.workdir, "dbgout.txt")),
           "the release build wrote a debug log")


def scenario_escape_quits(intro, args):
    wait_for_picture(intro)
    session = intro.session
    found = session.run(["xdotool", "search", "--name", "^Intro$"], timeout=30, stdout=subprocess.PIPE)
    ids = found.stdout.decode().split()
    expect(ids, "no X window titled Intro")
    session.run(["xdotool", "windowfocus", "--sync", ids[0]], timeout=30)
    session.run(["xdotool", "key", "--delay", "200", "Escape"], timeout=30)
    expect(intro.wait_exit(EXIT_SECONDS) == 0, "exit code not 0")


def scenario_audio_stream(intro, args):
    wait_for_picture(intro)
    time.sleep(5)
    intro.probe("close")
    expect(intro.wait_exit(EXIT_SECONDS) == 0, "exit code not 0")
    capture = intro.session.capture_path
    expect(os.path.exists(capture), "the device wrote no stream")
    size = os.path.getsize(capture)
    expect(size > 0, "the device played nothing")
    expect(size % 8 == 0, "captured %d bytes, not whole 8-byte frames" % size)
    # 32-bit float stereo with the same value in both channels: a wrong
    # format or channel count would break the pairs. Wine's device plays
    # faster than real time into the file and goes on writing silence once
    # the buffer is played, so neither the length nor how much of it the
    # shader had filled in time is fixed.
    samples = array.array("f")
    with open(capture, "rb") as stream:
        samples.frombytes(stream.read())
    expect(samples[0::2] == samples[1::2], "left and right channels differ")


SCENARIOS = {
    "window": (scenario_window, "file"),
    "escape_quits": (scenario_escape_quits, "file"),
    "no_audio_device": (intro_scenarios.scenario_no_audio_device, "none"),
    "audio_stream": (scenario_audio_stream, "file"),
}


def main():
    parser = argparse.ArgumentParser(description="Scenarios of intro-release.exe under Wine.")
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--intro", required=True)
    parser.add_argument("--probe", required=True)
    args = parser.parse_args()
    wine_harness.require_wine()
    run, audio = SCENARIOS[args.scenario]
    shutil.rmtree(args.workdir, ignore_errors=True)
    os.makedirs(args.workdir)
    with wine_harness.Session(args.prefix, args.workdir, audio=audio) as session:
        intro = intro_scenarios.Intro(session, os.path.abspath(args.intro), os.path.abspath(args.probe))
        if not intro_scenarios.run_scenario(run, intro, args):
            return 1
    print("passed:", args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
