"""The library's side of the monitor service (Monitoring), run by the installed test client
("monitor running|notify|update") against the service installed in a prefix: its state as the
service manager reports it, and messages that reach the service's pipe."""
import glob
import os
import re
import unittest

import winehelp
from servicehost import RUNNING, SERVING, STOPPED, ServiceScenario

RUNNING_LINE = "Find NolvexConnectMonitor, Service is Running."
STOPPED_LINE = "Find NolvexConnectMonitor, but Not Running. status[0x%08x]" % STOPPED
MISSING_LINE = "Not Found NolvexConnectMonitor from SCM"


class MonitoringTest(ServiceScenario):
    PREFIX = "wineprefix-service-monitoring"
    BRING_UP = SERVING

    # --- helpers ----------------------------------------------------------------------------
    def client_log(self):
        """Every line of the client's own trace logs (the user's application data)."""
        pattern = self.host.user_app_data("NolvexConnect", "Logs", "NolvexConnectLog_*.dat")
        lines = []
        for path in sorted(glob.glob(pattern)):
            with open(path, "rb") as f:
                data = f.read()
            lines += [l for l in data[: len(data) // 2 * 2].decode("utf-16-le", "replace").split("\r\n") if l]
        return lines

    def client_lines(self, text):
        return sum(1 for line in self.client_log() if text in line)

    def running(self):
        """(exit code, printed value) of "monitor running" and the lines it added to the log."""
        before = len(self.client_log())
        rc, out = self.host.client("monitor", "running")
        match = re.search(r"running=(\d)", out)
        self.assertIsNotNone(match, out)
        return rc, match.group(1), self.client_log()[before:]

    def ensure_running(self):
        if self.host.state() is None:
            self.host.install()
        if self.host.state() != RUNNING:
            rc, out = self.host.start()
            self.assertEqual(0, rc, out)
            self.assertTrue(self.host.wait_log("Start for Loop", 60, times=self.host.count("Start for Loop") or 1))
        rc, out = self.host.client("loglevel", "1")
        self.assertEqual(0, rc, out)

    # --- the service's state ------------------------------------------------------------------
    def test_running_service_is_reported_running(self):
        self.ensure_running()
        rc, value, lines = self.running()
        self.assertEqual((0, "1"), (rc, value))
        self.assertTrue(any(RUNNING_LINE in l for l in lines), lines)

    def test_stopped_service_is_not_running_and_its_state_is_logged(self):
        self.ensure_running()
        rc, out = self.host.stop()
        self.assertEqual(0, rc, out)
        self.assertEqual(STOPPED, self.host.state())
        rc, value, lines = self.running()
        self.assertEqual((3, "0"), (rc, value))
        self.assertTrue(any(STOPPED_LINE in l for l in lines), lines)
        self.assertFalse(any(RUNNING_LINE in l for l in lines), lines)

    def test_service_that_is_not_installed_is_not_found(self):
        self.ensure_running()
        self.host.stop()
        self.assertEqual(0, self.host.run_monitor("/UnregServer").returncode)
        try:
            self.assertIsNone(self.host.state())
            rc, value, lines = self.running()
            self.assertEqual((3, "0"), (rc, value))
            self.assertTrue(any(MISSING_LINE in l for l in lines), lines)
        finally:
            self.host.install()

    # --- messages through the real pipe ----------------------------------------------------------
    def test_message_reaches_the_service_whole(self):
        self.ensure_running()
        text = r"MonitorEnd=C:\users\Public\monitoring-check"
        line = "[InputInfo] Message is [%s]" % text
        since = self.host.count(line)
        rc, out = self.host.client("monitor", "notify", text)
        self.assertEqual(0, rc, out)
        self.assertIn("result=0", out)
        self.assertTrue(self.host.wait_log(line, 30, times=since + 1), self.host.log_lines()[-20:])
        # Nothing after the text (its terminating zero ends it) reached the analysis.
        self.assertFalse(any(text in l and line not in l for l in self.host.log_lines() if "Message is [" in l))

    def test_update_notification_names_the_sending_client(self):
        self.ensure_running()
        folder = r"C:\users\Public\NolvexConnect\no-such-update"
        rc, out = self.host.client("monitor", "update", folder)
        self.assertEqual(0, rc, out)
        self.assertIn("result=0", out)
        message = re.compile(r"\(ThID=(\d+)\).*\[InputInfo\] Message is \[DoUpdate=(\d+),%s\]$" % re.escape(folder))
        self.assertTrue(winehelp.wait_for(lambda: self.sender_of(message), 30), self.host.log_lines()[-20:])
        thread, announced, sender = self.sender_of(message)
        self.assertEqual(announced, sender)

    def sender_of(self, message):
        """(thread, announced pid, sender pid) of the last message the pattern matches, once the
        same worker has logged its sender; None before."""
        lines = self.host.log_lines()
        found = None
        for i, line in enumerate(lines):
            match = message.search(line)
            if match:
                found = (i, match.group(1), match.group(2))
        if found is None:
            return None
        i, thread, announced = found
        for line in lines[i + 1:]:
            match = re.search(r"\(ThID=%s\).*\[InputInfo\] Sender process id is (\d+)" % thread, line)
            if match:
                return thread, announced, match.group(1)
        return None

    def test_stopped_service_gets_nothing_and_the_sender_hears_why(self):
        self.ensure_running()
        self.host.stop()
        rc, out = self.host.client("monitor", "notify", "LogLevel=0")
        self.assertEqual(3, rc, out)
        self.assertIn("result=2", out)   # ERROR_FILE_NOT_FOUND once the bound has passed
        self.assertTrue(self.client_lines("APIError [CreateFile] rc:[2]") >= 1)


if __name__ == "__main__":
    unittest.main()
