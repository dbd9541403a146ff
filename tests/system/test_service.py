"""The monitor service under Wine's service manager: identity, start, pipe, trace log, stop."""
import datetime
import re
import time
import unittest

import simwts
import winehelp
from servicehost import INSTALLED, RUNNING, STOPPED, SERVICE, ServiceHost, ServiceScenario

SERVICES_KEY = r"HKLM\System\CurrentControlSet\Services\NolvexConnectMonitor"
APPID = "{B325C1A5-B807-4DA3-93BD-283F594220AF}"


class ServiceRegistrationTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = ServiceHost("wineprefix-service-reg")
        cls.host.create()

    @classmethod
    def tearDownClass(cls):
        cls.host.destroy()

    def reg(self, key, name):
        return self.host.registry_value(key, name)

    def test_service_switch_installs_the_designed_identity(self):
        self.assertEqual(0, self.host.run_monitor("/Service").returncode)
        self.assertEqual("0x10", self.reg(SERVICES_KEY, "Type"))
        self.assertEqual("0x3", self.reg(SERVICES_KEY, "Start"))
        self.assertEqual("0x1", self.reg(SERVICES_KEY, "ErrorControl"))
        self.assertEqual("LocalSystem", self.reg(SERVICES_KEY, "ObjectName"))
        # Wine's QueryServiceConfig reports no dependencies: the registry holds them.
        self.assertEqual("RPCSS", self.reg(SERVICES_KEY, "DependOnService").replace("\\0", ""))
        self.assertEqual('"C:\\Program Files\\NolvexConnect\\NolvexConnectMonitor.exe"',
                         self.reg(SERVICES_KEY, "ImagePath"))
        self.assertEqual(SERVICE, self.reg("HKCR\\AppID\\" + APPID, "LocalService"))
        rc, out = self.host.svcctl("config", SERVICE)
        self.assertEqual(0, rc, out)
        self.assertIn("type=16 start=3 error=1", out)

    def test_regserver_registers_the_appid_without_a_service_and_unregserver_removes_it(self):
        self.assertEqual(0, self.host.run_monitor("-Service").returncode)
        self.assertEqual(0, self.host.run_monitor("/regserver").returncode)
        self.assertIsNone(self.reg(SERVICES_KEY, "Type"))
        self.assertEqual(APPID, self.reg(r"HKCR\AppID\NolvexConnectMonitor.exe", "AppID"))
        self.assertIsNone(self.reg("HKCR\\AppID\\" + APPID, "LocalService"))
        self.assertEqual(0, self.host.run_monitor("/UnregServer").returncode)
        self.assertIsNone(self.reg(r"HKCR\AppID\NolvexConnectMonitor.exe", "AppID"))

    def test_per_user_registration_writes_the_current_users_classes(self):
        self.assertEqual(0, self.host.run_monitor("/RegServerPerUser").returncode)
        self.assertEqual(APPID, self.reg(r"HKCU\Software\Classes\AppID\NolvexConnectMonitor.exe", "AppID"))
        self.assertEqual(0, self.host.run_monitor("/UnregServerPerUser").returncode)
        self.assertIsNone(self.reg(r"HKCU\Software\Classes\AppID\NolvexConnectMonitor.exe", "AppID"))


class ServiceRunTest(ServiceScenario):
    """One service, started once, with a user logged on at the console."""

    PREFIX = "wineprefix-service-run"

    def send_raw(self, text):
        # A client waits for a free instance as long as the service may take to drop idle ones.
        rc, out = self.host.client("--timeout", "30000", "raw", text)
        self.assertEqual(0, rc, out)

    def test_runs_under_the_service_manager_and_logs_to_the_dated_file(self):
        self.assertEqual(RUNNING, self.host.state())
        names = [p.rsplit("/", 1)[1] for p in self.host.log_files()]
        today = datetime.date.today().strftime("%Y%m%d")
        self.assertIn("NolvexConnectLog_%s_NolvexConnectMonitor.dat" % today, names)
        lines = self.host.log_lines()
        self.assertTrue(any("CNolvexConnectMonitorModule::Run" in l and "START" in l for l in lines))
        # The start-up check found the console user and went for the user's folder.
        self.assertTrue(any("Would restore the saved proxy settings of [" in l for l in lines), lines[-20:])

    def test_a_message_reaches_the_analysis(self):
        self.send_raw("LogLevel=1,a")
        self.assertTrue(self.host.wait_log("[InputInfo] Message is [LogLevel=1,a]", 20))

    def test_a_long_message_is_cut_to_1023_bytes(self):
        # The service takes 1023 bytes and lets the client go: the client's write of the rest may
        # then fail, which is no concern of the service.
        self.host.client("--timeout", "30000", "raw", "X" * 600)
        self.assertTrue(self.host.wait_log("[InputInfo] Message is [X", 20))
        line = [l for l in self.host.log_lines() if "[InputInfo] Message is [X" in l][-1]
        body = re.search(r"Message is \[(X*)", line).group(1)
        # 511 whole characters and the low byte of the 512th, which for "X" is "X" again.
        self.assertEqual(512, len(body))

    def test_a_silent_client_is_dropped_and_the_next_one_served(self):
        before = self.host.count("sent nothing within 10000 ms")
        idle = self.host.start_client("idle", "30")
        try:
            self.assertTrue(self.host.wait_log("sent nothing within 10000 ms", 30, before + 1))
        finally:
            idle.kill()
            idle.wait()
        self.send_raw("LogLevel=1,b")
        self.assertTrue(self.host.wait_log("[InputInfo] Message is [LogLevel=1,b]", 20))

    def test_eleven_idle_clients_do_not_stop_the_service(self):
        idle = [self.host.start_client("idle", "15") for _ in range(11)]
        try:
            time.sleep(5)
            self.assertEqual(RUNNING, self.host.state())
            # A later client waits for a free instance and is served once the idle ones are dropped.
            self.send_raw("LogLevel=1,c")
            self.assertTrue(self.host.wait_log("[InputInfo] Message is [LogLevel=1,c]", 40))
        finally:
            for proc in idle:
                proc.kill()
                proc.wait()
        self.assertEqual(RUNNING, self.host.state())

    def test_the_pipe_gives_network_logons_no_access(self):
        rc, sddl = self.host.svcctl("pipeacl", r"\\.\pipe\NolvexConnectMonitor")
        self.assertEqual(0, rc, sddl)
        self.assertRegex(sddl, r"^D:P")
        self.assertRegex(sddl, r"\(D;;[^;]+;;;NU\)")
        self.assertNotIn(";;;WD)", sddl)
        self.assertNotRegex(sddl, r"\(A;;[^;]+;;;NU\)")


class ServiceStopTest(ServiceScenario):
    PREFIX = "wineprefix-service-stop"
    PER_TEST = True
    SCENARIO = None
    BRING_UP = INSTALLED

    def test_stop_request_ends_the_service_cleanly(self):
        self.sim.write_scenario(logged_on=True)
        self.assertEqual(0, self.host.start()[0])
        self.assertTrue(self.host.wait_log("Start for Loop", 60))
        rc, out = self.host.stop()
        self.assertEqual(0, rc, out)
        self.assertEqual(STOPPED, self.host.state())
        def run_ended():
            run_lines = [l for l in self.host.log_lines() if "CNolvexConnectMonitorModule::Run" in l]
            return run_lines and run_lines[-1].endswith("END")
        self.assertTrue(winehelp.wait_for(run_ended, 10), self.host.log_lines()[-5:])

    def test_stop_during_the_logon_poll_does_not_wait_for_the_poll(self):
        self.sim.write_scenario(logged_on=False)
        self.assertEqual(0, self.host.start()[0])
        self.assertTrue(self.host.wait_log("Total waiting time logon is 2000 ms.", 30))
        began = time.monotonic()
        rc, out = self.host.stop(20000)
        self.assertEqual(0, rc, out)
        self.assertLess(time.monotonic() - began, 20)
        self.assertEqual(0, self.host.count("Not logged on within the time limit."))


if __name__ == "__main__":
    unittest.main()
