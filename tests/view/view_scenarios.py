#!/usr/bin/env python3
"""Scenarios of intro-view on its own Xvfb display with Mesa's llvmpipe.

  view_scenarios.py SCENARIO --viewer EXE --render EXE --shader DIR --workdir DIR

Each scenario starts the viewer, drives it (keys through xdotool, edits of a
copied shader folder) and follows it through its --log-state lines; every
wait has a deadline, so a hang fails. Expected values come from the film's
cut table and 44,100 samples per second, never from the viewer's own output.
"""

import argparse
import os
import queue
import re
import shutil
import struct
import subprocess
import sys
import threading
import time
import zlib

RATE = 44100
STATE = re.compile(r"^state (.*) ms=[\d.]+$")


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


# --- a display ---------------------------------------------------------------

class Display:
    """An Xvfb server on a free display number, for one scenario."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x900x24", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.time() + 30
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        expect(number.strip().isdigit(), "Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def close(self):
        self.server.terminate()
        self.server.wait(timeout=10)


def environment(display, **extra):
    env = dict(os.environ)
    env.pop("WAYLAND_DISPLAY", None)
    if display is not None:
        env["DISPLAY"] = display.name
    else:
        env.pop("DISPLAY", None)
    env.setdefault("SDL_AUDIODRIVER", "dummy")
    env.update(extra)
    return env


# --- the viewer --------------------------------------------------------------

class Viewer:
    """intro-view running, with its state lines and standard error collected."""

    def __init__(self, exe, args, env, cwd):
        self.process = subprocess.Popen([exe] + args, env=env, cwd=cwd, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        self.states = queue.Queue()
        self.errors = []
        self.last = None
        threading.Thread(target=self._read_states, daemon=True).start()
        threading.Thread(target=self._read_errors, daemon=True).start()

    def _read_states(self):
        for line in self.process.stdout:
            m = STATE.match(line.strip())
            if m:
                self.states.put(dict(kv.split("=", 1) for kv in m.group(1).split()))

    def _read_errors(self):
        for line in self.process.stderr:
            self.errors.append(line)

    def stderr(self):
        return "".join(self.errors)

    def wait_state(self, what, test, seconds=120):
        """The first state line (from the last one seen on) that passes `test`."""
        deadline = time.time() + seconds
        if self.last is not None and test(self.last):
            return self.last
        while time.time() < deadline:
            try:
                state = self.states.get(timeout=0.2)
            except queue.Empty:
                expect(self.process.poll() is None,
                       "intro-view ended (%s) waiting for %s:\n%s" % (self.process.poll(), what, self.stderr()))
                continue
            self.last = state
            if test(state):
                return state
        raise Failure("no state with %s within %d s; last %s\n%s" % (what, seconds, self.last, self.stderr()))

    def latest(self):
        """The newest state line printed so far."""
        while True:
            try:
                self.last = self.states.get_nowait()
            except queue.Empty:
                return self.last

    def wait_exit(self, seconds=60):
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("intro-view did not end within %d s" % seconds)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def settled(**fields):
    """A state test: settling done and every given field equal."""
    def test(state):
        return state.get("settling") == "0" and all(state.get(k) == str(v) for k, v in fields.items())
    return test


def position(seconds):
    return int(round(seconds * RATE))


class Keys:
    """Key presses into the viewer's window through xdotool."""

    def __init__(self, display):
        self.env = environment(display)
        out = subprocess.run(["xdotool", "search", "--sync", "--name", "^intro-view$"], env=self.env,
                             capture_output=True, text=True, timeout=60)
        expect(out.returncode == 0 and out.stdout.split(), "the viewer's window did not appear")
        self.window = out.stdout.split()[0]
        subprocess.run(["xdotool", "windowfocus", "--sync", self.window], env=self.env, timeout=30)

    def press(self, *keys):
        subprocess.run(["xdotool", "key", "--clearmodifiers"] + list(keys), env=self.env, check=True, timeout=30)


# --- files -------------------------------------------------------------------

def read_png_rgba(path):
    """Width, height and RGBA rows (top first) of an 8-bit RGBA PNG."""
    data = open(path, "rb").read()
    expect(data[:8] == b"\x89PNG\r\n\x1a\n", path + " is no PNG")
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            expect(depth == 8 and colour == 6, path + " is not 8-bit RGBA")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = previous[i]
            corner = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, rows


def read_float_wav(path):
    """The samples of a 32-bit float WAV, interleaved."""
    data = open(path, "rb").read()
    expect(data[:4] == b"RIFF" and data[8:12] == b"WAVE", path + " is no WAV")
    pos = 12
    while pos < len(data):
        kind, length = struct.unpack("<4sI", data[pos:pos + 8])
        if kind == b"data":
            body = data[pos + 8:pos + 8 + length]
            return struct.unpack("<%df" % (len(body) // 4), body)
        pos += 8 + length + (length & 1)
    raise Failure(path + " has no data chunk")


# --- scenarios ---------------------------------------------------------------

def scenario_screenshot(a, display):
    """--time 47 --paused --screenshot gives exactly intro-render's frame."""
    shot = os.path.join(a.workdir, "viewer.png")
    rendered = os.path.join(a.workdir, "render.png")
    v = Viewer(a.viewer, ["--time", "47", "--paused", "--warmup", "1", "--screenshot", shot],
               environment(display), a.workdir)
    code = v.wait_exit(300)
    expect(code == 0, "intro-view failed (%d):\n%s" % (code, v.stderr()))
    r = subprocess.run([a.render, "frame", "--time", "47", "--warmup", "1", "--out", rendered],
                       capture_output=True, text=True, timeout=300)
    expect(r.returncode == 0, "intro-render failed:\n" + r.stderr)
    w1, h1, rows1 = read_png_rgba(shot)
    w2, h2, rows2 = read_png_rgba(rendered)
    expect((w1, h1) == (1280, 720), "the window picture is %dx%d, not 1280x720" % (w1, h1))
    expect((w1, h1) == (w2, h2), "sizes differ")
    differing = [y for y in range(h1) if rows1[y] != rows2[y]]
    expect(not differing, "%d rows differ from intro-render's frame, first row %d" % (len(differing),
                                                                                        differing[0] if differing else -1))
    # The intro's picture, not an empty window: the letterbox bars are black
    # and the picture rows between them are not.
    expect(set(rows1[0][i] for i in range(0, 1280 * 4) if i % 4 != 3) == {0}, "the top bar is not black")
    lit = sum(1 for y in range(90, 630) for x in range(0, 1280, 16) if any(rows1[y][4 * x:4 * x + 3]))
    expect(lit > 0.5 * 540 * 80, "the picture rows are mostly black (%d lit samples)" % lit)


def scenario_keys(a, display):
    """Keys pause, seek, step and change cuts, as the state log shows."""
    v = Viewer(a.viewer, ["--time", "20", "--paused", "--warmup", "0", "--size", "160x90", "--log-state"],
               environment(display), a.workdir)
    try:
        v.wait_state("the paused start at 20 s", settled(position=position(20), paused=1, cut=1, shot=1))
        keys = Keys(display)
        steps = [
            (["Right"], dict(position=position(21), paused=1)),
            (["shift+Right"], dict(position=position(31), cut=2, shot=2)),
            (["Next"], dict(position=position(35), cut=3, shot=16)),        # Page Down: the next cut
            (["Prior"], dict(position=position(22), cut=2)),                # Page Up at a cut start: the cut before
            (["Prior"], dict(position=position(20), cut=1)),
            (["period"], dict(position=position(20) + 735)),                # one frame forward
            (["period"], dict(position=position(20) + 2 * 735)),
            (["comma"], dict(position=position(20) + 735)),                 # and back
            (["Left"], dict(position=position(19) + 735, cut=0, shot=0)),
            (["shift+Left"], dict(position=position(9) + 735, cut=-1, shot=-1)),
            (["Home"], dict(position=0, cut=-1)),
            (["Next"] * 6, dict(position=position(50), cut=5, shot=4)),          # 15, 20, 22, 35, 45, 50
            (["l"], dict(loop=1)),
            (["l"], dict(loop=0)),
        ]
        for pressed, fields in steps:
            keys.press(*pressed)
            v.wait_state("%s after %s" % (fields, pressed), settled(**fields), 60)
        frames_paused = int(v.last["frames"])
        keys.press("space")
        v.wait_state("playing", lambda s: s["paused"] == "0" and int(s["position"]) > position(50.2), 60)
        keys.press("space")
        stopped = v.wait_state("paused again", lambda s: s["paused"] == "1", 60)
        expect(int(stopped["frames"]) > frames_paused, "no frames were drawn while playing")
        # While paused neither the clock nor the picture moves.
        time.sleep(1.0)
        keys.press("h")
        time.sleep(0.5)
        now = v.latest()
        expect(now["position"] == stopped["position"] and now["frames"] == stopped["frames"],
               "the paused viewer moved: %s then %s" % (stopped, now))
        keys.press("q")
        expect(v.wait_exit(30) == 0, "Q did not end the viewer cleanly:\n" + v.stderr())
    finally:
        v.close()


def scenario_loop(a, display):
    """L loops the cut: playback at the end of the last cut goes back to 118 s."""
    v = Viewer(a.viewer, ["--time", "124.6", "--size", "64x64", "--log-state"], environment(display), a.workdir)
    try:
        v.wait_state("playing from 124.6 s", lambda s: s["paused"] == "0" and s["cut"] == "19")
        Keys(display).press("l")
        v.wait_state("the loop on", lambda s: s["loop"] == "1")
        back = v.wait_state("the loop back to the cut's start",
                            lambda s: s["loop"] == "1" and int(s["position"]) < position(124), 30)
        expect(position(118) <= int(back["position"]) < position(119), "the loop went to %s" % back["position"])
        expect(back["cut"] == "19", "the loop left the cut: %s" % back)
    finally:
        v.close()


def scenario_disk_audio(a, display):
    """With SDL's disk driver the samples played equal the song export."""
    raw = os.path.join(a.workdir, "played.raw")
    v = Viewer(a.viewer, ["--time", "44", "--size", "64x64", "--frames", "60"],
               environment(display, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=raw), a.workdir)
    code = v.wait_exit(120)
    expect(code == 0, "intro-view failed (%d):\n%s" % (code, v.stderr()))
    data = open(raw, "rb").read()
    stream = struct.unpack("<%df" % (len(data) // 4), data)
    # SDL's device writes silence while the viewer holds it paused (start-up);
    # what follows is what the viewer played. At 44 s the song is not silent.
    lead = 0
    while lead < len(stream) and stream[lead] == 0.0:
        lead += 1
    lead -= lead % 2
    played = stream[lead:]
    frames = len(played) // 2
    expect(frames >= 4096, "only %d frames were played" % frames)
    wav = os.path.join(a.workdir, "export.wav")
    r = subprocess.run([a.render, "audio", "--out", wav, "--from", "44", "--to", "%.6f" % (44 + frames / RATE + 0.01)],
                       capture_output=True, text=True, timeout=120)
    expect(r.returncode == 0, "intro-render audio failed:\n" + r.stderr)
    exported = read_float_wav(wav)
    expect(len(exported) >= 2 * frames, "the export is shorter than what was played")
    bad = [i for i in range(2 * frames) if played[i] != exported[i]]
    expect(not bad, "%d of %d samples differ from the export, first at frame %d" % (len(bad), 2 * frames,
                                                                                     bad[0] // 2 if bad else -1))
    # 44 s is where the groove enters: this is sound, not silence.
    expect(max(abs(x) for x in played) > 0.05, "the played span is silent")


def scenario_live_edit(a, display):
    """A changed constant reloads and changes the picture; a broken edit names
    its piece and line and keeps the old program; the fix reloads."""
    folder = os.path.join(a.workdir, "shader")
    shutil.copytree(a.shader, folder)
    v = Viewer(a.viewer, ["--watch", folder, "--time", "50", "--paused", "--warmup", "0", "--size", "320x200",
                          "--log-state"], environment(display), a.workdir)
    try:
        first = v.wait_state("the first picture", settled(generation=1, paused=1))
        post = os.path.join(folder, "post.glsl")
        text = open(post).read()
        expect("vec3(0.4545)" in text, "post.glsl has no display gamma constant to change")
        time.sleep(1.1)  # a new modification time
        open(post, "w").write(text.replace("vec3(0.4545)", "vec3(0.3)"))
        changed = v.wait_state("the reloaded program", settled(generation=2))
        expect(changed["picture"] != first["picture"], "the edited gamma did not change the picture")

        camera = os.path.join(folder, "camera.glsl")
        good = open(camera).read()
        broken_line = good.count("\n") + 1
        time.sleep(1.1)
        open(camera, "w").write(good + "float broken = ;\n")
        deadline = time.time() + 60
        while "camera.glsl:%d(" % broken_line not in v.stderr() and time.time() < deadline:
            expect(v.process.poll() is None, "the viewer ended on a broken edit:\n" + v.stderr())
            time.sleep(0.2)
        expect("camera.glsl:%d(" % broken_line in v.stderr(),
               "the error does not name camera.glsl line %d:\n%s" % (broken_line, v.stderr()))
        time.sleep(1.0)
        expect(v.process.poll() is None, "the viewer ended on a broken edit")
        expect(v.last["generation"] == "2" and v.last["picture"] == changed["picture"],
               "the broken edit replaced the program: %s" % v.last)

        time.sleep(1.1)
        open(camera, "w").write(good)
        fixed = v.wait_state("the fixed program", settled(generation=3))
        expect(fixed["picture"] == changed["picture"], "the fixed program draws another picture")
    finally:
        v.close()


def scenario_no_audio_device(a, display):
    """No audio device: said once, silent, the clock runs on the wall clock."""
    v = Viewer(a.viewer, ["--time", "10", "--size", "64x64", "--log-state"],
               environment(display, SDL_AUDIODRIVER="no-such-driver"), a.workdir)
    try:
        v.wait_state("playing", lambda s: s["paused"] == "0")
        start = v.latest()
        started = time.time()
        time.sleep(2.0)
        later = v.latest()
        advanced = (int(later["position"]) - int(start["position"])) / RATE
        elapsed = time.time() - started
        expect(0.5 * 2.0 < advanced <= elapsed + 0.5,
               "the clock moved %.2f s in %.2f s of wall time" % (advanced, elapsed))
        expect(v.stderr().count("playing silent") == 1, "the missing device was not reported once:\n" + v.stderr())
    finally:
        v.close()


def run_refused(a, args, env, what, words):
    r = subprocess.run([a.viewer] + args, env=env, cwd=a.workdir, capture_output=True, text=True, timeout=120)
    expect(r.returncode not in (0,) and r.returncode > 0, "%s: exit code %d (not a clean refusal)\n%s" %
           (what, r.returncode, r.stderr))
    for word in words:
        expect(word in r.stderr, "%s: the message does not say '%s':\n%s" % (what, word, r.stderr))
    return r


def scenario_gl_too_old(a, display):
    env = environment(display, MESA_GL_VERSION_OVERRIDE="3.3", MESA_GLSL_VERSION_OVERRIDE="330")
    run_refused(a, ["--frames", "1"], env, "GL 3.3", ["OpenGL 4.4", "3.3"])


def scenario_no_display(a, display):
    run_refused(a, ["--frames", "1"], environment(None), "no DISPLAY", ["no display"])


def scenario_bad_arguments(a, display):
    empty = os.path.join(a.workdir, "empty")
    os.makedirs(empty, exist_ok=True)
    partial = os.path.join(a.workdir, "partial")
    shutil.rmtree(partial, ignore_errors=True)
    shutil.copytree(a.shader, partial)
    os.remove(os.path.join(partial, "march.glsl"))
    env = environment(display)
    cases = [
        (["--bogus"], ["unknown option --bogus"]),
        (["--time", "130"], ["--time", "0 and 125"]),
        (["--time", "-1"], ["--time"]),
        (["--frames"], ["--frames needs a value"]),
        (["--watch", os.path.join(a.workdir, "nowhere")], ["nowhere", "does not exist"]),
        (["--watch", empty], ["none of the shader pieces"]),
        (["--watch", partial], ["lacks march.glsl"]),
    ]
    for args, words in cases:
        r = run_refused(a, args, env, " ".join(args), words)
        expect(r.returncode == 2, "%s: exit code %d, not 2" % (" ".join(args), r.returncode))
    r = subprocess.run([a.viewer, "--help"], capture_output=True, text=True, timeout=30)
    expect(r.returncode == 0 and "Page Up" in r.stdout, "--help does not list the keys")


SCENARIOS = {name[len("scenario_"):]: f for name, f in globals().items() if name.startswith("scenario_")}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--render", required=True)
    parser.add_argument("--shader", required=True)
    parser.add_argument("--workdir", required=True)
    a = parser.parse_args()
    for name in ("viewer", "render", "shader", "workdir"):
        setattr(a, name, os.path.abspath(getattr(a, name)))
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print("%s is not installed (scripts/install-deps.sh installs it)" % tool)
            return 77
    shutil.rmtree(a.workdir, ignore_errors=True)
    os.makedirs(a.workdir)
    display = Display()
    try:
        SCENARIOS[a.scenario](a, display)
    except Failure as e:
        print("FAIL %s: %s" % (a.scenario, e))
        return 1
    finally:
        display.close()
    print("ok %s" % a.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
