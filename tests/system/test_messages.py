"""Message boxes of the installed service: a failed rollback tells the user at the console."""
import os
import shutil
import unittest

import simwts
import winehelp
from servicehost import ServiceHost

ROLLBACK_FAILED = "Process to restore previous version failed."


class SessionMessageTest(unittest.TestCase):
    """One service with a user at the console; the install folder has no backup to roll back to."""

    @classmethod
    def setUpClass(cls):
        cls.host = ServiceHost("wineprefix-messages")
        cls.host.create()
        # The product ships its Japanese catalogue beside the service.
        shutil.copy2(os.path.join(winehelp.BIN_DIR, "StringTable_JP.dll"), cls.host.install_dir("StringTable_JP.dll"))
        cls.sim = simwts.SimWts(cls.host.prefix)
        cls.sim.write_scenario(logged_on=True)
        assert cls.host.run_monitor("/Service").returncode == 0
        rc, out = cls.host.start()
        assert rc == 0, out
        assert cls.host.wait_log("Start for Loop", 60), "the pipe loop never started"

    @classmethod
    def tearDownClass(cls):
        cls.host.stop()
        cls.host.destroy()

    def setUp(self):
        self.sim.clear_journal()

    def send_raw(self, text):
        rc, out = self.host.client("raw", text)
        self.assertEqual(0, rc, out)

    def test_failed_rollback_shows_the_english_text_in_the_console_session_without_waiting(self):
        self.send_raw("RollBackUpdate")
        messages = self.sim.wait_for_messages(1, 60)
        self.assertEqual(1, len(messages), self.host.log_lines()[-30:])
        box = messages[0]
        self.assertEqual("NolvexConnectMonitor.exe", box["process"])
        self.assertEqual("WTSSendMessageW", box["call"])
        self.assertEqual(ROLLBACK_FAILED, box["message"])
        self.assertEqual((len(ROLLBACK_FAILED) + 1) * 2, box["message_length"])
        self.assertEqual("NolvexConnect", box["title"])
        self.assertEqual(28, box["title_length"])
        self.assertEqual(16, box["style"])
        self.assertEqual(0, box["timeout"])
        self.assertFalse(box["wait"])
        self.assertTrue(box["result"])
        self.assertTrue(self.host.wait_log("Active SessionId  %d" % box["session"], 20))

    def test_service_serves_the_next_client_while_the_box_is_up(self):
        # Nobody closes the first box: the worker must not be stuck on it.
        self.send_raw("RollBackUpdate")
        self.sim.wait_for_messages(1, 60)
        self.send_raw("RollBackUpdate")
        messages = self.sim.wait_for_messages(2, 60)
        self.assertEqual(2, len(messages))
        self.assertEqual([False, False], [m["wait"] for m in messages])

    def test_nobody_at_the_console_means_no_box(self):
        self.sim.write_scenario(logged_on=False)
        try:
            self.send_raw("RollBackUpdate")
            self.assertTrue(self.host.wait_log("No active session: the message is not shown", 60))
            self.assertEqual([], self.sim.messages())
        finally:
            self.sim.write_scenario(logged_on=True)


if __name__ == "__main__":
    unittest.main()
