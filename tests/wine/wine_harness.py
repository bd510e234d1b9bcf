#!/usr/bin/env python3
"""Runs Windows programs through Wine for the tests.

Each session gets its own Xvfb display (a free number chosen by Xvfb), the
shared Wine prefix, WINEDEBUG=-all and an ALSA configuration of its own: one
whose default device writes the played stream raw into a file, or one with no
device at all. Leaving a session kills the wineserver of the prefix and the
display, also when the test failed.

The Wine loader comes from INTRO_WINE_LOADER, which the build sets to the
one that runs on this machine: `wine` for the 32-bit intro, or wine64 for
the 64-bit build of the same host code where the kernel cannot run 32-bit
programs. Without it, exit code 77 means that Wine cannot run here; CTest
reports such tests as skipped. With it, a loader that does not run is a
failure.

  wine_harness.py setup-prefix --prefix DIR
  wine_harness.py run --prefix DIR --workdir DIR [--timeout S] -- PROGRAM.exe [ARGS]
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

SKIP = 77

ALSA_FILE_DEVICE = """pcm.!default {{
    type file
    slave {{ pcm {{ type null }} }}
    file "{path}"
    format "raw"
}}
"""

# No pcm named default: every open of the default device fails.
ALSA_NO_DEVICE = "# no audio device\n"


WINE = os.environ.get("INTRO_WINE_LOADER", "wine")


def wine_usable():
    """True when the Wine loader and Xvfb run on this machine."""
    if not shutil.which(WINE) or not shutil.which("Xvfb"):
        return False
    try:
        result = subprocess.run([WINE, "--version"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=60)
    except (OSError, subprocess.TimeoutExpired):
        return False
    return result.returncode == 0


def require_wine():
    if wine_usable():
        return
    if "INTRO_WINE_LOADER" in os.environ:
        print(f"the Wine loader {WINE} (or Xvfb) does not run, although the build chose it")
        sys.exit(1)
    print(f"{WINE} cannot run on this machine (or Xvfb is missing): skipped")
    sys.exit(SKIP)


class Session:
    """An Xvfb display plus the environment for running Wine programs on it."""

    def __init__(self, prefix, workdir, audio="file", screen="1920x1080x24"):
        self.prefix = os.path.abspath(prefix)
        self.workdir = os.path.abspath(workdir)
        self.audio = audio
        self.screen = screen
        self.xvfb = None
        self.display = None
        self.processes = []
        self.capture_path = os.path.join(self.workdir, "capture.raw")
        self.env = None

    def __enter__(self):
        os.makedirs(self.workdir, exist_ok=True)
        try:
            self._start_display()
            self._write_alsa_config()
            env = dict(os.environ)
            env.update({
                "DISPLAY": self.display,
                "WINEPREFIX": self.prefix,
                "WINEDEBUG": "-all",
                "WINEDLLOVERRIDES": "mscoree,mshtml=",
                "ALSA_CONFIG_PATH": os.path.join(self.workdir, "asound.conf"),
                "LIBGL_ALWAYS_SOFTWARE": "1",
            })
            self.env = env
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _start_display(self):
        # Xvfb picks a free display number itself and writes it to the pipe.
        # The white root (-wr) tells the screen outside the window apart.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen,
             "-nolisten", "tcp", "-wr", "+extension", "GLX"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.time() + 30
        with os.fdopen(read_end, "rb") as pipe:
            while time.time() < deadline and not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.strip().decode()

    def _write_alsa_config(self):
        path = os.path.join(self.workdir, "asound.conf")
        with open(path, "w") as config:
            if self.audio == "file":
                config.write(ALSA_FILE_DEVICE.format(path=self.capture_path))
            else:
                config.write(ALSA_NO_DEVICE)

    def start(self, command, extra_env=None, cwd=None, **kwargs):
        """Starts a process in the session's environment (plus extra_env) and
        working folder (or cwd)."""
        env = dict(self.env)
        env.update(extra_env or {})
        process = subprocess.Popen(command, env=env, cwd=cwd or self.workdir, **kwargs)
        self.processes.append(process)
        return process

    def run(self, command, timeout, **kwargs):
        return subprocess.run(command, env=self.env, cwd=self.workdir, timeout=timeout, **kwargs)

    def wine(self, args, timeout=60):
        """Runs a Windows console program to its end; returns (code, stdout)."""
        result = self.run([WINE] + list(args), timeout=timeout,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return result.returncode, result.stdout.decode(errors="replace").replace("\r", "")

    def __exit__(self, exc_type, exc, traceback):
        if self.env is not None:
            try:
                subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except (OSError, subprocess.TimeoutExpired):
                pass
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        return False


def setup_prefix(prefix):
    require_wine()
    if os.path.exists(os.path.join(prefix, "system.reg")):
        print("wine prefix ready:", prefix)
        return 0
    shutil.rmtree(prefix, ignore_errors=True)
    workdir = prefix + "-setup"
    with Session(prefix, workdir, audio="none") as session:
        result = session.run([WINE, "wineboot", "-i"], timeout=500)
        if result.returncode != 0:
            print("wineboot failed with", result.returncode)
            return 1
        # Sound through ALSA only, so that the tests decide what device exists.
        session.run([WINE, "reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v", "Audio",
                     "/d", "alsa", "/f"], timeout=120,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        session.run(["wineserver", "-w"], timeout=120)
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        print("wine prefix was not created")
        return 1
    print("wine prefix created:", prefix)
    return 0


def run_program(prefix, workdir, timeout, command):
    require_wine()
    shutil.rmtree(workdir, ignore_errors=True)
    with Session(prefix, workdir) as session:
        try:
            result = session.run([WINE] + command, timeout=timeout)
        except subprocess.TimeoutExpired:
            print("timed out after", timeout, "s")
            return 1
        return result.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="action", required=True)
    setup = sub.add_parser("setup-prefix")
    setup.add_argument("--prefix", required=True)
    run = sub.add_parser("run")
    run.add_argument("--prefix", required=True)
    run.add_argument("--workdir", required=True)
    run.add_argument("--timeout", type=float, default=120)
    run.add_argument("command", nargs="+")
    args = parser.parse_args()
    if args.action == "setup-prefix":
        return setup_prefix(args.prefix)
    return run_program(args.prefix, args.workdir, args.timeout, args.command)


if __name__ == "__main__":
    sys.exit(main())
