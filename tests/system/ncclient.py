"""Driving the test client NolvexConnect.exe (docs/testclient.md) from scenario tests.

    code, out, err = run(prefix, "rollback")
    client = StartedClient(prefix, r"C:\\users\\alice\\Nolvex", 1, 1, "--abrupt")
    ...                       # the service now watches client.pid
    client.quit()             # ends it: MonitorEnd (normal) or a crash (abrupt)
"""
import os
import subprocess

from winehelp import BIN_DIR

CLIENT = os.path.join(BIN_DIR, "NolvexConnect.exe")

EXIT_SENT, EXIT_PIPE, EXIT_USAGE, EXIT_FAILED, EXIT_ABRUPT = 0, 1, 2, 3, 9


# Wine turns the command line into UTF-16 through the Unix locale: keep it UTF-8.
UTF8_LOCALE = {"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"}


def spawn(prefix, *args, exe=CLIENT, output=subprocess.DEVNULL):
    """Starts one client command in the background; the caller ends the process it returns.
    output: a file for its standard output and error (a file, not a pipe: see winehelp.wine)."""
    return subprocess.Popen(prefix.argv(exe, *args), env=_env(prefix), stdin=subprocess.DEVNULL,
                            stdout=output, stderr=output, start_new_session=True)


def _env(prefix):
    return dict(prefix.env, **UTF8_LOCALE)


def run(prefix, *args, timeout=60, exe=CLIENT):
    """Runs one client command to its end: (exit code, stdout text, stderr text). exe: the
    client's path (the build's, or a Windows path such as the installed copy)."""
    result = prefix.wine(exe, *args, timeout=timeout, env_extra=UTF8_LOCALE)
    return (result.returncode, result.stdout.decode("utf-8", "replace"),
            result.stderr.decode("utf-8", "replace"))


class StartedClient:
    """A "start" client that stays alive; pid is its Windows process id (what MonitorStart says)."""

    def __init__(self, prefix, user_folder, language, log_level, *options, timeout=60, exe=CLIENT):
        self.prefix = prefix
        self.exe = exe
        self.process = subprocess.Popen(
            prefix.argv(exe, "start", user_folder, str(language), str(log_level), *options),
            env=_env(prefix), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, start_new_session=True)
        self.pid = self._read_pid(timeout)

    def _read_pid(self, timeout):
        # The first line is "pid=<n>", written before the pipe is tried; a command line the
        # client refuses gives none.
        line = self.process.stdout.readline().decode("utf-8", "replace").strip()
        if not line.startswith("pid="):
            self.wait(timeout)
            return None
        return int(line[4:])

    def quit(self, timeout=60):
        """Sets the client's quit event and waits for its end; returns its exit code."""
        if self.pid is not None and self.process.poll() is None:
            run(self.prefix, "quit", str(self.pid), exe=self.exe)
        return self.wait(timeout)

    def finish(self):
        """Ends the client if it still runs (through its quit event) and closes its output."""
        if self.running():
            self.quit()
        self.output()
        return self.process.returncode

    def running(self):
        return self.process.poll() is None

    def wait(self, timeout=60):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise

    def output(self):
        """Rest of stdout and all of stderr, once the client has ended."""
        out, err = self.process.communicate()
        return out.decode("utf-8", "replace"), err.decode("utf-8", "replace")
