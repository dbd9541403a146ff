"""The wtsapi32 simulator as a program linked the ordinary way sees it through the prefix's DLL
override, scripted and read back with the simwts helpers."""
import os
import time
import unittest

from simwts import SimWts
from winehelp import BIN_DIR, Prefix

WTS_ACTIVE = 0
WTS_CONNECTED = 1
ERROR_NO_TOKEN = 1008
IDASYNC = 32001


class SimWtsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("wineprefix-simwts")
        # Wine passes the command line through the Unix locale: keep it UTF-8 for Japanese text.
        cls.prefix.env.update(LANG="C.UTF-8", LC_ALL="C.UTF-8")
        cls.prefix.create(fresh=False)
        cls.prefix.set_dll_override("wtsapi32")
        cls.sim = SimWts(cls.prefix)

    @classmethod
    def tearDownClass(cls):
        cls.sim.reset()
        cls.prefix.retire()

    def setUp(self):
        self.sim.reset()

    def probe(self, *args):
        result = self.prefix.wine(os.path.join(BIN_DIR, "nc_wtsprobe.exe"), *args)
        return result.returncode, result.stdout.decode("utf-8").split("\n")[0].strip()

    def sessions(self):
        result = self.prefix.wine(os.path.join(BIN_DIR, "nc_wtsprobe.exe"), "sessions")
        self.assertEqual(0, result.returncode)
        out = result.stdout.decode("utf-8")
        rows = [line.split(" ", 3) for line in out.splitlines() if line]
        return {int(r[0]): (int(r[1]), r[2], r[3] if len(r) > 3 else "") for r in rows}

    def console(self):
        return [s for s in self.sessions().values() if s[1] == "Console"][0]

    def test_without_scenario_a_user_is_active_at_the_console(self):
        state, _, user = self.console()
        self.assertEqual(WTS_ACTIVE, state)
        self.assertNotEqual("", user)
        self.assertEqual((0, "ok"), self.probe("token", "console"))
        self.assertTrue(self.sim.token_queries()[-1]["result"])

    def test_nobody_logged_on_gives_no_active_session_and_no_token(self):
        self.sim.write_scenario(logged_on=False)
        self.assertEqual((WTS_CONNECTED, "Console", ""), self.console())
        self.assertEqual((1, "error %d" % ERROR_NO_TOKEN), self.probe("token", "console"))
        record = self.sim.token_queries()[-1]
        self.assertEqual((False, ERROR_NO_TOKEN), (record["result"], record["error"]))
        self.assertEqual("nc_wtsprobe.exe", record["process"])

    def test_logon_delay_counts_from_the_scenario_write_time(self):
        self.sim.write_scenario(logon_after_seconds=60, user="alice")
        self.assertEqual(WTS_CONNECTED, self.console()[0])
        self.sim.write_scenario(logon_after_seconds=60, user="alice", written_at=time.time() - 61)
        self.assertEqual((WTS_ACTIVE, "Console", "alice"), self.console())

    def test_message_is_journalled_with_japanese_text_intact(self):
        title, text = "NolvexConnect", "以前のバージョンへの復元に失敗しました。"
        self.assertEqual((0, "response %d" % IDASYNC), self.probe("send", "console", title, text))
        [message] = self.sim.wait_for_messages(1, timeout=5)
        self.assertEqual((title, text), (message["title"], message["message"]))
        self.assertEqual((len(text) + 1) * 2, message["message_length"])
        self.assertEqual((16, 0, False), (message["style"], message["timeout"], message["wait"]))

    def test_two_processes_never_interleave_journal_lines(self):
        text = "あ" * 2000   # 6000 bytes of UTF-8 per record: a torn write would break a line
        probe = os.path.join(BIN_DIR, "nc_wtsprobe.exe")
        writers = [self.prefix.start(probe, "send", "console", "writer %d" % i, text, "100") for i in range(2)]
        for writer in writers:
            self.assertEqual(0, writer.wait(timeout=120))
        messages = self.sim.messages()   # json.loads of every line: a torn line would raise
        self.assertEqual(200, len(messages))
        self.assertEqual({"writer 0", "writer 1"}, {m["title"] for m in messages})
        self.assertTrue(all(m["message"] == text for m in messages))
        self.assertEqual(2, len({m["pid"] for m in messages}))

    def test_scenario_rejects_unknown_keys(self):
        with self.assertRaises(ValueError):
            self.sim.write_scenario(loged_on=0)


if __name__ == "__main__":
    unittest.main()
