"""A user logging on while the service runs: the control handler, the logon worker, the pipe.

Wine sends no session-change control, so these tests install the test build of the service, which
turns control 200 into the logon notification Windows would send for the console session.
"""
import os
import shutil
import unittest

import simwts
import winehelp
from servicehost import INSTALLED, ServiceScenario

PIPE = r"\\.\pipe\NolvexConnectMonitor"
TOKEN_LINE = "Get Logon User Token g_hLogonToken:0x"
WORKER_DONE = "[Output Info]ThreadLogOn return 0"
RUNNING = 4
SILENT_CLIENT_MESSAGE = "[InputInfo] Message is [LogLevel=1,after-logon]"


def index_of(lines, text, start=0):
    """Index of the first line at or after start that holds text, or None."""
    for i in range(start, len(lines)):
        if text in lines[i]:
            return i
    return None


def assert_in_order(test, lines, *texts):
    """Each text stands on a line after the previous one's; returns those lines."""
    found, start = [], 0
    for text in texts:
        i = index_of(lines, text, start)
        test.assertIsNotNone(i, "%r not found in order in %r" % (text, lines))
        found.append(lines[i])
        start = i + 1
    return found


class LogonWhileRunningTest(ServiceScenario):
    """One service with a user logged on at the console; each case sends its own logons."""

    PREFIX = "wineprefix-service-logon"
    TEST_BUILD = True

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.product_folder = cls.host.user_app_data("NolvexConnect")
        os.makedirs(cls.product_folder, exist_ok=True)
        cls.product_folder_win = winehelp.windows_path(cls.product_folder, cls.host.prefix) + "\\"

    def logon(self, done_text=WORKER_DONE):
        """Sends one logon, waits until the logon worker has logged done_text once more, and
        returns the log lines written meanwhile."""
        start = len(self.host.log_lines())
        before = self.host.count(done_text)
        rc, out = self.host.logon()
        self.assertEqual(0, rc, out)
        self.assertTrue(self.host.wait_log(done_text, 30, before + 1), self.host.log_lines()[-20:])
        return self.host.log_lines()[start:]

    def test_a_logon_restores_the_saved_proxy_of_the_users_folder(self):
        lines = self.logon()
        token = assert_in_order(self, lines, "Catch Session Change Event EventType=5",
                                "Catch LogOn Event SessionID=1", TOKEN_LINE,
                                "SetProxyRestor(%s)" % self.product_folder_win,
                                "Would restore the saved proxy settings of [%s]" % self.product_folder_win,
                                "SetProxyRestor() return 1", WORKER_DONE)[2]
        self.assertNotEqual(0, int(token[token.index(TOKEN_LINE) + len(TOKEN_LINE):], 16),
                            "the logged-on user has a token")
        self.assertEqual(RUNNING, self.host.state())

    def test_a_second_logon_discards_the_last_token(self):
        self.logon()   # whatever ran before, a token is held now
        lines = self.logon()
        assert_in_order(self, lines, "Catch LogOn Event SessionID=1", "Discard the last token.", TOKEN_LINE)
        self.assertEqual(1, sum(1 for l in lines if "Discard the last token." in l))

    def test_without_the_users_product_folder_nothing_is_restored(self):
        shutil.rmtree(self.product_folder)
        try:
            lines = self.logon(done_text="User Application Path is Not Existing")
            self.assertIsNone(index_of(lines, "SetProxyRestor("), lines)
            self.assertIsNone(index_of(lines, "Would restore the saved proxy settings of ["), lines)
        finally:
            os.makedirs(self.product_folder, exist_ok=True)
        self.assertEqual(RUNNING, self.host.state())

    def test_the_pipe_is_still_served_after_a_logon(self):
        self.logon()
        before = self.host.count("ChangeRequestLogLevel")
        rc, out = self.host.client("--timeout", "30000", "loglevel", "1")
        self.assertEqual(0, rc, out)
        self.assertTrue(self.host.wait_log("ChangeRequestLogLevel", 20, before + 1))

    def test_a_logon_does_not_lose_the_message_of_a_client_still_silent(self):
        workers = self.host.count("ThreadFunc")
        aborted = self.host.count("WaitEvent return Error")
        # Connects at once, speaks after six seconds: the logon comes in between.
        sender = self.host.prefix.start(r"C:\nolvex-tools\nc_svcctl.exe", "pipesend", PIPE, "6000",
                                        "LogLevel=1,after-logon")
        try:
            self.assertTrue(self.host.wait_log("ThreadFunc", 20, workers + 1), "the client never connected")
            lines = self.logon()
            self.assertTrue(self.host.wait_log(SILENT_CLIENT_MESSAGE, 20), self.host.log_lines()[-20:])
            self.assertEqual(0, sender.wait(timeout=30))
        finally:
            if sender.poll() is None:
                sender.kill()
                sender.wait()
        message = index_of(lines, SILENT_CLIENT_MESSAGE)
        self.assertTrue(message is None or message > index_of(lines, WORKER_DONE),
                        "the logon was handled while the client was silent")
        self.assertEqual(aborted, self.host.count("WaitEvent return Error"))


class LogonDuringStartupCheckTest(ServiceScenario):
    """Nobody is logged on when the service starts; a logon arrives before the user shows up."""

    PREFIX = "wineprefix-service-logon-poll"
    TEST_BUILD = True
    PER_TEST = True
    SCENARIO = None
    BRING_UP = INSTALLED

    def test_the_startup_check_leaves_the_restore_to_the_logon_worker(self):
        # The user appears ten seconds after this write; the logon is sent during the first polls.
        self.sim.write_scenario(logon_after_seconds=10)
        self.assertEqual(0, self.host.start()[0])
        self.assertTrue(self.host.wait_log("Total waiting time logon is 1000 ms.", 30))
        rc, out = self.host.logon()
        self.assertEqual(0, rc, out)
        self.assertTrue(self.host.wait_log("Start for Loop", 40))
        self.assertTrue(self.host.wait_log("ThreadLogOn", 20))
        lines = self.host.log_lines()
        # Nobody was logged on yet, so the query for the session's token found none. The logon
        # event is still set when the loop begins: the loop hands it to a logon worker.
        assert_in_order(self, lines, "Catch LogOn Event SessionID=1", TOKEN_LINE + "00000000",
                        "Because the logon event can be obtained, it will not do anything.",
                        "Start for Loop", "ThreadLogOn")
        self.assertIsNone(index_of(lines, "CNolvexConnectMonitorModule::GetUserToken"), lines)
        self.assertIsNone(index_of(lines, "Would restore the saved proxy settings of ["), lines)
        # Without the user's token the worker must not look up a folder for the service's account.
        self.assertTrue(self.host.wait_log("The logon brought no user token; no proxy setting is restored.", 10))
        self.assertEqual(0, self.host.count("Not logged on within the time limit."))


if __name__ == "__main__":
    unittest.main()
