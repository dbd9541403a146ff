"""A desktop for scenario tests that look at windows as a person does: a private Xvfb display,
windows found by their X11 name, screenshots, key presses (xdotool), and a Japanese locale for
Wine (ANSI code page 932) built into the build folder when the system has none.

Needs the Debian packages xvfb, xdotool, imagemagick and locales (see scripts/packages-setuprun.txt).
"""
import os
import shutil
import subprocess
import time

import winehelp

TOOLS = ("Xvfb", "xdotool", "import", "localedef")


def missing_tools():
    return [tool for tool in TOOLS if shutil.which(tool) is None]


class XServer:
    """Xvfb on a display number it picks itself; stop() ends it."""

    def __init__(self, width=1024, height=768):
        self.size = "%dx%dx24" % (width, height)
        self.proc = None
        self.display = None

    def start(self, timeout=20):
        read_fd, write_fd = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.size, "-nolisten", "tcp"],
                pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, start_new_session=True)
            os.close(write_fd)
            write_fd = None
            number = b""
            end = time.monotonic() + timeout
            while not number.endswith(b"\n") and time.monotonic() < end:
                chunk = os.read(read_fd, 16)
                if not chunk:
                    break
                number += chunk
        finally:
            os.close(read_fd)
            if write_fd is not None:
                os.close(write_fd)
        if not number.strip():
            self.stop()
            raise RuntimeError("Xvfb did not report a display")
        self.display = ":" + number.decode().strip()
        return self.display

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None

    def env(self):
        return {"DISPLAY": self.display}

    def _xdotool(self, *args, check=False):
        return subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.display),
                              stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=30, check=check)

    def find_windows(self, name):
        """Ids of the visible windows whose name matches the regular expression name."""
        result = self._xdotool("search", "--onlyvisible", "--name", name)
        return result.stdout.split()

    def wait_for_window(self, name, timeout):
        ids = winehelp.wait_for(lambda: self.find_windows(name), timeout, interval=0.3)
        return ids[0] if ids else None

    def window_name(self, window_id):
        return self._xdotool("getwindowname", window_id).stdout.rstrip("\n")

    def press(self, window_id, key):
        """Gives the window the keyboard focus and types key, as a person at the keyboard would."""
        self._xdotool("windowfocus", "--sync", window_id, check=True)
        self._xdotool("key", key, check=True)

    def answer(self, window_id, key, attempts=3, settle=5):
        """Presses key on a dialog until its window is gone (a key typed while the dialog is still
        setting itself up can be lost). True when the window went away."""
        for _ in range(attempts):
            self.press(window_id, key)
            if winehelp.wait_for(lambda: window_id not in self.find_windows("."), settle):
                return True
        return False

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=dict(os.environ, DISPLAY=self.display),
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=60, check=True)
        return path


def japanese_locale_env():
    """Environment for a Wine run in Japanese (ANSI code page 932). A ja_JP.UTF-8 locale is made
    with localedef inside the build folder when the system has none, so nothing system-wide is
    changed."""
    env = {"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"}
    listed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower().split()
    if "ja_jp.utf8" in listed or "ja_jp.utf-8" in listed:
        return env
    root = os.path.join(winehelp.BUILD_DIR, "locale")
    target = os.path.join(root, "ja_JP.UTF-8")
    if not os.path.isfile(os.path.join(target, "LC_CTYPE")):
        os.makedirs(root, exist_ok=True)
        subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", target], stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=120, check=False)
        if not os.path.isfile(os.path.join(target, "LC_CTYPE")):
            raise RuntimeError("could not build the ja_JP.UTF-8 locale (Debian package locales)")
    env["LOCPATH"] = root
    return env
