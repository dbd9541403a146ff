"""The monitor service installed in a Wine prefix of its own, as the scenario tests drive it."""
import glob
import os
import shutil
import subprocess

import winehelp

INSTALL_DIR_WIN = r"C:\Program Files\NolvexConnect"
SERVICE = "NolvexConnectMonitor"
# Files copied into the install folder: the product, its test client, and (test prefix only)
# the terminal-services simulator, which the DllOverrides key selects beside the program.
INSTALL_FILES = ["NolvexConnectMonitor.exe", "StringTable_JP.dll", "NolvexConnect.exe", "wtsapi32.dll"]
TOOLS = ["nc_svcctl.exe", "nc_sleeper.exe"]
# The test build of the service (tests/tools/logonmonitor): the same program name, so it installs
# and logs as the product does, and control 200 stands for a user logging on at the console.
TEST_BUILD_DIR = os.path.join(winehelp.BUILD_DIR, "testbin")
TEST_LOGON_CONTROL = 200


class ServiceHost:
    """test_build=True installs the test build of the service in place of the product."""

    def __init__(self, name="wineprefix-service", test_build=False):
        self.prefix = winehelp.Prefix(name)
        self.test_build = test_build
        self.sleeper = None

    # --- set-up and tear-down -------------------------------------------------------------
    def create(self, fresh=True):
        self.prefix.create(fresh=fresh)
        self.prefix.set_dll_override("wtsapi32")
        os.makedirs(self.install_dir(), exist_ok=True)
        for name in INSTALL_FILES:
            source = self.built_file(name)
            if not os.path.exists(source):
                raise FileNotFoundError("not built: " + source)
            shutil.copy2(source, self.install_dir(name))
        tools = self.prefix.drive_c("nolvex-tools")
        os.makedirs(tools, exist_ok=True)
        for name in TOOLS:
            shutil.copy2(os.path.join(winehelp.BIN_DIR, name), os.path.join(tools, name))
        # Wine ends the service manager with the last ordinary process: keep one alive.
        self.sleeper = self.prefix.start_sleeper(r"C:\nolvex-tools\nc_sleeper.exe", 3600)

    def destroy(self):
        self.prefix.kill()
        if self.sleeper is not None:
            try:
                self.sleeper.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.sleeper.kill()
            self.sleeper = None

    def built_file(self, name):
        if self.test_build and name == "NolvexConnectMonitor.exe":
            return os.path.join(TEST_BUILD_DIR, name)
        return os.path.join(winehelp.BIN_DIR, name)

    def install_dir(self, *parts):
        return self.prefix.drive_c("Program Files", "NolvexConnect", *parts)

    def user_app_data(self, *parts):
        """The application data folder (Roaming) of the prefix's one user, the console user."""
        users = self.prefix.drive_c("users")
        names = [n for n in os.listdir(users) if n != "Public" and os.path.isdir(os.path.join(users, n))]
        if len(names) != 1:
            raise RuntimeError("expected one user profile in the prefix, found %r" % names)
        return os.path.join(users, names[0], "AppData", "Roaming", *parts)

    # --- the service ----------------------------------------------------------------------
    def run_monitor(self, *args):
        return self.prefix.wine(INSTALL_DIR_WIN + "\\NolvexConnectMonitor.exe", *args)

    def svcctl(self, *args, timeout=120):
        res = self.prefix.wine(r"C:\nolvex-tools\nc_svcctl.exe", *args, timeout=timeout)
        return res.returncode, res.stdout.decode("utf-8", "replace").strip()

    def start(self, wait_ms=30000):
        return self.svcctl("start", SERVICE, str(wait_ms))

    def stop(self, wait_ms=30000):
        return self.svcctl("stop", SERVICE, str(wait_ms))

    def install_and_serve(self):
        """Installs and starts the service, waits for its pipe loop and turns on debug lines,
        which show each message the analysis receives."""
        if self.run_monitor("/Service").returncode != 0:
            raise RuntimeError("the service did not install")
        rc, out = self.start()
        if rc != 0:
            raise RuntimeError("the service did not start: " + out)
        if not self.wait_log("Start for Loop", 60):
            raise RuntimeError("the pipe loop never started")
        rc, out = self.client("loglevel", "1")
        if rc != 0 or not self.wait_log("ChangeRequestLogLevel", 20):
            raise RuntimeError("the log level message was not analysed: " + out)

    def control(self, code):
        return self.svcctl("control", SERVICE, str(code))

    def logon(self):
        """Test build only: the service handles a logon at the console as Windows reports it."""
        if not self.test_build:
            raise RuntimeError("only the test build of the service maps a control onto a logon")
        return self.control(TEST_LOGON_CONTROL)

    def state(self):
        rc, out = self.svcctl("status", SERVICE)
        if rc != 0:
            return None
        fields = dict(item.split("=", 1) for item in out.split())
        return int(fields["state"])

    def registry_value(self, key, name):
        res = self.prefix.wine("reg", "query", key, "/v", name)
        for line in res.stdout.decode("utf-8", "replace").splitlines():
            parts = line.split(None, 2)
            if len(parts) >= 2 and parts[0].lower() == name.lower():
                return parts[2].strip() if len(parts) == 3 else ""
        return None

    # --- the client -------------------------------------------------------------------------
    def client(self, *args, timeout=60):
        res = self.prefix.wine(INSTALL_DIR_WIN + "\\NolvexConnect.exe", *args, timeout=timeout,
                               env_extra={"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"})
        return res.returncode, res.stdout.decode("utf-8", "replace") + res.stderr.decode("utf-8", "replace")

    def start_client(self, *args):
        return self.prefix.start(INSTALL_DIR_WIN + "\\NolvexConnect.exe", *args)

    # --- the trace log ----------------------------------------------------------------------
    def log_dir(self):
        return self.prefix.drive_c("ProgramData", "NolvexConnect", "Logs")

    def log_files(self):
        return sorted(glob.glob(os.path.join(self.log_dir(), "NolvexConnectLog_*_NolvexConnectMonitor.dat")))

    def log_lines(self):
        lines = []
        for path in self.log_files():
            with open(path, "rb") as f:
                data = f.read()
            text = data[: len(data) // 2 * 2].decode("utf-16-le", "replace")
            lines.extend(line for line in text.split("\r\n") if line)
        return lines

    def count(self, text):
        return sum(1 for line in self.log_lines() if text in line)

    def wait_log(self, text, timeout=30, times=1):
        return winehelp.wait_for(lambda: self.count(text) >= times, timeout)
