"""The monitor service installed in a Wine prefix of its own, as the scenario tests drive it."""
import glob
import os
import re
import shutil
import subprocess
import unittest

import ncclient
import simwts
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
INSTALLED_CLIENT = INSTALL_DIR_WIN + "\\NolvexConnect.exe"
# The product's install path in the registry (32-bit view): the service finds its install folder
# here, and only the client of that folder may ask for an update or a rollback.
INSTALL_KEY = r"HKLM\Software\Korvell\NolvexConnect"
RUNNING, STOPPED = 4, 1
# How far a scenario brings the service before its tests run.
INSTALLED, STARTED, SERVING = "installed", "started", "serving"


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
        self.prefix.reg_add(INSTALL_KEY, "Path", INSTALL_DIR_WIN, view32=True)
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
        self.prefix.retire()
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

    def install(self):
        if self.run_monitor("/Service").returncode != 0:
            raise RuntimeError("the service did not install")

    def install_and_start(self):
        """Installs and starts the service and waits for its pipe loop."""
        self.install()
        rc, out = self.start()
        if rc != 0:
            raise RuntimeError("the service did not start: " + out)
        if not self.wait_log("Start for Loop", 60):
            raise RuntimeError("the pipe loop never started")

    def install_and_serve(self):
        """Installs and starts the service, waits for its pipe loop and turns on debug lines,
        which show each message the analysis receives."""
        self.install_and_start()
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
    # The installed test client, driven through ncclient (the one way to run it).
    def client(self, *args, timeout=60):
        rc, out, err = ncclient.run(self.prefix, *args, timeout=timeout, exe=INSTALLED_CLIENT)
        return rc, out + err

    def start_client(self, *args, output=subprocess.DEVNULL):
        return ncclient.spawn(self.prefix, *args, exe=INSTALLED_CLIENT, output=output)

    def started_client(self, user_folder, language, log_level, *options):
        """A "start" client that stays until quit(); .pid is what its MonitorStart says."""
        return ncclient.StartedClient(self.prefix, user_folder, language, log_level, *options,
                                      exe=INSTALLED_CLIENT)

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

    # --- the service's Unix process -----------------------------------------------------------
    def unix_pid(self):
        """The Linux process id of the service running in this prefix, or None."""
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    cmdline = f.read()
                if b"NolvexConnectMonitor.exe" not in cmdline:
                    continue
                with open("/proc/%s/environ" % entry, "rb") as f:
                    environ = f.read().split(b"\0")
            except OSError:
                continue
            if ("WINEPREFIX=" + self.prefix.path).encode() in environ:
                return int(entry)
        return None

    def unix_usage(self):
        """(threads, resident kB, processor seconds) of the service's Unix process, from /proc:
        under Wine, GetProcessHandleCount and GetProcessTimes of another process do not tell."""
        return process_usage(self.unix_pid())


def process_usage(pid):
    """(threads, resident kB, utime + stime in seconds) of a Linux process."""
    with open("/proc/%d/status" % pid) as f:
        status = f.read()
    threads = int(re.search(r"^Threads:\s+(\d+)", status, re.M).group(1))
    rss = int(re.search(r"^VmRSS:\s+(\d+)", status, re.M).group(1))
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    cpu = (int(fields[11]) + int(fields[12])) / ticks   # utime, stime (fields 14 and 15)
    return threads, rss, cpu


class ServiceScenario(unittest.TestCase):
    """Base of the scenario tests that install and start the service in a prefix of their own.

    A subclass names its prefix and says how far to go: INSTALLED (the test starts it), STARTED
    (running, pipe loop begun) or SERVING (and debug lines on). SCENARIO is the session
    simulator's (None: the test writes its own before it starts the service). PER_TEST gives each
    test a fresh prefix instead of one for the class. self.host and self.sim are ready in tests.
    """

    PREFIX = None
    TEST_BUILD = False
    SCENARIO = {"logged_on": True}
    BRING_UP = SERVING
    PER_TEST = False

    @classmethod
    def _bring_up(cls):
        host = ServiceHost(cls.PREFIX, test_build=cls.TEST_BUILD)
        host.create()
        sim = simwts.SimWts(host.prefix)
        try:
            if cls.SCENARIO is not None:
                sim.write_scenario(**cls.SCENARIO)
            {INSTALLED: host.install, STARTED: host.install_and_start, SERVING: host.install_and_serve}[cls.BRING_UP]()
        except Exception:
            host.destroy()
            raise
        return host, sim

    @staticmethod
    def _take_down(host):
        try:
            host.stop()
        finally:
            host.destroy()

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not cls.PER_TEST:
            cls.host, cls.sim = cls._bring_up()

    @classmethod
    def tearDownClass(cls):
        if not cls.PER_TEST:
            cls._take_down(cls.host)
        super().tearDownClass()

    def setUp(self):
        super().setUp()
        if self.PER_TEST:
            self.host, self.sim = self._bring_up()
            self.addCleanup(self._take_down, self.host)
