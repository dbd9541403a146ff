"""Shared helpers of the scenario tests: Wine prefixes of the build folder and Windows paths."""
import os
import shutil
import subprocess
import tempfile
import time

BUILD_DIR = os.environ.get("NOLVEX_BUILD_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", "..", "build"))
SOURCE_DIR = os.environ.get("NOLVEX_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
BIN_DIR = os.path.join(BUILD_DIR, "bin")


class Prefix:
    """A Wine prefix (win32) inside the build folder, made fresh or reused by name."""

    def __init__(self, name):
        self.name = name
        self.path = os.path.join(BUILD_DIR, name)
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=self.path, WINEARCH="win32", WINEDEBUG="-all")
        self.env.pop("WINEDLLOVERRIDES", None)

    def drive_c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def create(self, fresh=True):
        if fresh and os.path.isdir(self.path):
            self.kill()
            shutil.rmtree(self.path)
        if not os.path.isfile(os.path.join(self.path, "system.reg")):
            env = dict(self.env, WINEDLLOVERRIDES="mscoree,mshtml=")
            subprocess.run(["wineboot", "-i"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            self.wait()

    def wine(self, *args, check=False, timeout=120, env_extra=None, **kw):
        """Runs a wine process to its end; its output goes through files, not pipes: a call that
        happens to start the prefix's services would hand them the pipes, and they would hold
        them open long after the call has ended."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            env = dict(self.env, **(env_extra or {}))
            res = subprocess.run(["wine", *args], env=env, stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=err, timeout=timeout, check=False, **kw)
            out.seek(0)
            err.seek(0)
            res.stdout, res.stderr = out.read(), err.read()
        if check and res.returncode != 0:
            raise subprocess.CalledProcessError(res.returncode, res.args, res.stdout, res.stderr)
        return res

    def start(self, *args, **kw):
        """Start a wine process in the background (no terminal); the caller ends it."""
        return subprocess.Popen(["wine", *args], env=self.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True, **kw)

    def reg_add(self, key, name, value, kind="REG_SZ"):
        self.wine("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f", check=True)

    def set_dll_override(self, dll, mode="native,builtin"):
        self.reg_add(r"HKCU\Software\Wine\DllOverrides", dll, mode)

    def wait(self):
        subprocess.run(["wineserver", "-w"], env=self.env, check=False)

    def kill(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False)


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
