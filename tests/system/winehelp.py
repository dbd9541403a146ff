"""Shared helpers of the scenario tests: Wine prefixes of the build folder and Windows paths."""
import os
import sys
import time

SOURCE_DIR = os.environ.get("NOLVEX_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "scripts"))

import nolvexwine  # noqa: E402  (how Wine is started: the one place that knows)

BUILD_DIR = os.path.abspath(nolvexwine.default_build_dir())
BIN_DIR = os.path.join(BUILD_DIR, "bin")
ARCH = nolvexwine.build_arch(BUILD_DIR) or nolvexwine.default_arch()
SLEEPER = os.path.join(BIN_DIR, nolvexwine.SLEEPER)


class Prefix(nolvexwine.Prefix):
    """A Wine prefix of the build folder (win32 for i686, win64 for x86_64), made fresh or reused
    by name."""

    def __init__(self, name):
        super().__init__(name, BUILD_DIR)


def windows_path(unix_path, prefix):
    """C:\\... form of a path below the prefix's drive_c."""
    rel = os.path.relpath(unix_path, prefix.drive_c())
    if rel.startswith(".."):
        raise ValueError(unix_path + " is not inside drive_c")
    return "C:\\" + rel.replace("/", "\\")


def wait_for(predicate, timeout, interval=0.2):
    """Polls predicate until it is true or the time is up; returns its last value."""
    end = time.monotonic() + timeout
    value = predicate()
    while not value and time.monotonic() < end:
        time.sleep(interval)
        value = predicate()
    return value
