"""Pipe messages sent by the test client to the installed service, and what the service does."""
import random
import time
import unittest

from servicehost import STARTED, ServiceScenario


class PipeMessageTest(ServiceScenario):
    """One running service for all cases; each case marks its own log lines."""

    PREFIX = "wineprefix-service-messages"
    SCENARIO = {"logged_on": True, "user": "alice"}

    def client(self, *args):
        rc, out = self.host.client("--timeout", "30000", *args)
        self.assertEqual(0, rc, out)
        return out

    def analysed(self, times, timeout=20):
        """Waits until MessageAnalysis has returned `times` times in all."""
        return self.host.wait_log("[OutputInfo] MessageAnalysis return", timeout, times)

    def debug_on(self):
        self.client("loglevel", "1")
        self.assertTrue(self.host.wait_log("ChangeRequestLogLevel", 20))

    def returns(self):
        return self.host.count("[OutputInfo] MessageAnalysis return")

    def test_loglevel_one_writes_debug_lines_and_five_changes_nothing(self):
        self.client("loglevel", "0")
        n = self.returns()
        self.analysed(n)
        before = sum(1 for l in self.host.log_lines() if "DEBUG  :" in l)
        self.client("raw", "Nothing=0")
        self.analysed(n + 1)
        self.assertEqual(before, sum(1 for l in self.host.log_lines() if "DEBUG  :" in l))
        self.client("loglevel", "1")
        self.client("raw", "Nothing=1")
        self.assertTrue(self.host.wait_log("[InputInfo] Message is [Nothing=1]", 20))
        # 5 is stored but the trace log knows only 0 and 1: debug lines go on.
        self.client("loglevel", "5")
        self.client("raw", "Nothing=5")
        self.assertTrue(self.host.wait_log("[InputInfo] Message is [Nothing=5]", 20))

    def test_monitorstart_then_monitorend_ends_the_watch_at_once(self):
        self.debug_on()
        ends = self.host.count("End while Loop")
        proc = self.host.start_client("start", r"C:\users\alice\Nolvex", "0", "1", "--normal", "--stay", "3")
        try:
            proc.wait(timeout=60)
        finally:
            if proc.poll() is None:
                proc.kill()
        self.assertTrue(self.host.wait_log("End while Loop", 20, ends + 1))
        lines = self.host.log_lines()
        # Woken by the MonitorEnd: no process check, no end handling.
        self.assertEqual(0, sum(1 for l in lines if "GetUserSetting Error" in l))
        self.assertTrue(any("APCFunc" in l for l in lines))

    def test_monitorend_without_a_watch_returns_zero(self):
        zeros = self.host.count("[OutputInfo] MessageAnalysis return 0")
        self.client("end", r"C:\users\nobody\Nolvex")
        self.assertTrue(self.host.wait_log("[OutputInfo] MessageAnalysis return 0", 20, zeros + 1))

    def test_commas_split_the_fields_as_designed(self):
        self.debug_on()
        # DoUpdate keeps commas in its last field; the process id 999999 does not exist, so the
        # update starts at once (and fails: the update is not built yet).
        self.client("update", "999999", r"C:\upd,ate\a,b")
        self.assertTrue(self.host.wait_log(r"[InputInfo] DiffFolderPath is C:\upd,ate\a,b", 20))
        self.debug_on()   # the update put the level back to 0
        self.client("end", r"C:\us,ers\x")
        self.assertTrue(self.host.wait_log(r"[InputInfo] UserFolderPath is C:\us,ers\x", 20))

    def test_unknown_keywords_and_a_message_without_equal_sign(self):
        self.debug_on()
        for text in ("Hello", "monitorstart=1,2,3,4", "LogLevel"):
            self.client("raw", text)
        self.assertTrue(self.host.wait_log("Unknown message keyword [Hello]", 20))
        self.assertTrue(self.host.wait_log("Unknown message keyword [monitorstart]", 20))
        # "LogLevel" alone reads its number from the keyword: level 0.
        self.assertTrue(self.host.wait_log("[InputInfo] Message is [LogLevel]", 20))

    def test_a_failed_rollback_shows_28603_in_the_session_without_waiting(self):
        before = len(self.sim.messages())
        errors_before = self.host.count("CopyRollback Error")
        self.client("rollback")
        self.client("rollback", "anything at all, really")
        self.assertGreaterEqual(len(self.sim.wait_for_messages(before + 2, 30)), before + 2)
        for record in self.sim.messages()[before:]:
            self.assertEqual("NolvexConnect", record["title"])
            self.assertEqual("Process to restore previous version failed.", record["message"])
            self.assertEqual(16, record["style"])
            self.assertFalse(record["wait"])
            self.assertEqual(0, record["timeout"])
        # The box is shown before the error line is written: wait for the lines, too.
        self.assertTrue(self.host.wait_log("CopyRollback Error", 20, errors_before + 2))

    def test_malformed_and_oversized_messages_never_stop_the_service(self):
        n = self.returns()
        payloads = [("hex", "41"), ("hex", "41 00 42"), ("hex", "00 00"), ("hex", "ff fe fd"),
                    ("random", "4096", "7"), ("random", "1023", "11"), ("raw", "Z" * 2048)]
        for args in payloads:
            self.host.client("--timeout", "30000", *args)   # long writes may be cut off by the service
        time.sleep(2)
        self.assertEqual(4, self.host.state())
        self.client("raw", "AfterGarbage=1")
        self.assertTrue(self.host.wait_log("Unknown message keyword [AfterGarbage]", 30))
        self.assertGreater(self.returns(), n)


class AbruptEndTest(ServiceScenario):
    PREFIX = "wineprefix-service-abrupt"
    PER_TEST = True
    SCENARIO = {"logged_on": True, "user": "bob"}
    BRING_UP = STARTED

    def test_an_abrupt_end_starts_the_end_handling_at_once(self):
        first = self.host.started_client(r"C:\users\bob\Nolvex", 0, 1, "--abrupt", "--stay", "5")
        # A second watch of the same user keeps the first one's entry.
        second = self.host.started_client(r"C:\users\bob\Nolvex", 0, 1, "--abrupt", "--stay", "5")
        self.assertTrue(self.host.wait_log("is registered already; its handle is kept.", 20))
        self.assertEqual(9, first.wait(60))
        self.assertEqual(9, second.wait(60))
        # Each watch saw its own client's end, without waiting for a 60-second tick.
        self.assertTrue(self.host.wait_log("End ProcessCheck", 10, 2))
        self.assertEqual(0, self.host.count("MonitorStart End"))
        for client in (first, second):
            self.assertEqual(1, self.host.count("The client process %d has ended." % client.pid))
        self.assertTrue(self.host.wait_log("[OutputInfo] GetUserSetting Error 0", 20, 2))
        self.assertTrue(self.host.wait_log("End while Loop", 20, 2))


if __name__ == "__main__":
    unittest.main()
