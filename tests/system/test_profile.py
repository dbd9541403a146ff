"""The terminal profile as a program sees it: the documented sample stored encrypted under the
user's registry key, loaded by another process and printed value by value."""
import os
import shutil
import unittest

from winehelp import SOURCE_DIR, Prefix, windows_path
import ncclient

SAMPLE = os.path.join(SOURCE_DIR, "tests", "unit", "auth", "TerminalRegist-sample.xml")


def parse(out):
    values = {}
    for line in out.split("\r\n"):
        key, sep, value = line.partition("=")
        if sep:
            values[key] = value
    return values


class ProfileShowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("wineprefix-profile")
        cls.prefix.create(fresh=False)
        cls.work = cls.prefix.drive_c("profile-test")
        os.makedirs(cls.work, exist_ok=True)
        shutil.copy(SAMPLE, os.path.join(cls.work, "sample.xml"))

    @classmethod
    def tearDownClass(cls):
        cls.prefix.retire()

    def win(self, name):
        return windows_path(os.path.join(self.work, name), self.prefix)

    def test_stored_sample_is_shown_with_every_value(self):
        code, out, err = ncclient.run(self.prefix, "profile", "store", self.win("sample.xml"), self.win("TerminalRegist.xml"))
        self.assertEqual(0, code, err)
        with open(os.path.join(self.work, "TerminalRegist.xml"), "rb") as f:
            self.assertNotIn(b"authTerminalID", f.read())   # stored encrypted
        code, out, err = ncclient.run(self.prefix, "profile", "show", self.win("TerminalRegist.xml"))
        values = parse(out)
        self.assertEqual((0, "1"), (code, values["loaded"]))
        self.assertEqual("T20261208-0042", values["Common.authTerminalID"])
        self.assertEqual("*.corp.example;10.*", values["Common.proxyServerException"])
        self.assertEqual("3", values["Connections"])
        self.assertEqual("VPN接続", values["Connection[1].name[ja]"])
        self.assertEqual("4", values["Connection[2].RemoteConnectType"])
        self.assertEqual("1207", values["UpdateModuleInformation.updateModuleNumber"])
        self.assertEqual("0000", values["Notice.infocode"])
        self.assertEqual(22 + 3 * 16 + 4, len([k for k in values if "." in k]))

    def test_missing_or_foreign_file_is_not_loaded(self):
        code, out, _ = ncclient.run(self.prefix, "profile", "show", self.win("missing.xml"))
        self.assertEqual((3, "0"), (code, parse(out)["loaded"]))
        # the plain sample is no encrypted profile
        code, out, _ = ncclient.run(self.prefix, "profile", "show", self.win("sample.xml"))
        self.assertEqual((3, "0"), (code, parse(out)["loaded"]))


if __name__ == "__main__":
    unittest.main()
