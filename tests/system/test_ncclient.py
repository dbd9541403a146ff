"""The test client's own behaviour inside a prefix, where no monitor service listens."""
import os
import shutil
import unittest

from ncclient import EXIT_FAILED, EXIT_PIPE, EXIT_SENT, EXIT_USAGE, StartedClient, run
from winehelp import Prefix, windows_path


class TestClientInPrefix(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("wineprefix-ncclient")
        cls.prefix.create(fresh=False)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.retire()

    def test_without_service_the_pipe_error_is_named(self):
        code, _, err = run(self.prefix, "end", r"C:\users\nobody")
        self.assertEqual(EXIT_PIPE, code)
        self.assertIn(r"\\.\pipe\NolvexConnectMonitor", err)
        self.assertIn("error 2", err)

    def test_start_without_service_announces_its_pid_then_fails(self):
        client = StartedClient(self.prefix, r"C:\users\nobody", 0, 0)
        self.assertEqual(EXIT_PIPE, client.wait())
        self.assertIsNotNone(client.pid)   # announced before the pipe was tried
        self.assertIn("cannot open", client.output()[1])

    def test_files_leave_the_fixture_in_the_user_folder(self):
        source = self.prefix.drive_c("fixtures", "ncclient")
        os.makedirs(os.path.join(source, "update"), exist_ok=True)
        with open(os.path.join(source, "UserSetting.xml"), "w", encoding="utf-8") as f:
            f.write("<UserSetting/>")
        with open(os.path.join(source, "update", "changelist.xml"), "w", encoding="utf-8") as f:
            f.write("<ChangeListSetting/>")
        user = self.prefix.drive_c("users", "テスト", "Nolvex")
        self.addCleanup(shutil.rmtree, self.prefix.drive_c("fixtures", "ncclient"), True)
        self.addCleanup(shutil.rmtree, self.prefix.drive_c("users", "テスト"), True)
        code, out, _ = run(self.prefix, "files", windows_path(user, self.prefix),
                           windows_path(source, self.prefix))
        self.assertEqual(EXIT_SENT, code)
        self.assertIn("copied 2 files", out)
        with open(os.path.join(user, "update", "changelist.xml"), encoding="utf-8") as f:
            self.assertEqual("<ChangeListSetting/>", f.read())

    def test_bad_command_lines_send_nothing(self):
        self.assertEqual(EXIT_USAGE, run(self.prefix, "start", r"C:\u")[0])
        self.assertEqual(EXIT_USAGE, run(self.prefix, "hex", "abc")[0])
        self.assertEqual(EXIT_FAILED, run(self.prefix, "quit", "4")[0])


if __name__ == "__main__":
    unittest.main()
