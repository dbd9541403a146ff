"""The test client's proxy commands, through the product's proxy classes and the wininet
simulator (selected for NolvexConnect.exe only): show, save into the user's folder, apply."""
import glob
import os
import unittest

from winehelp import BIN_DIR, Prefix, windows_path

CLIENT = "NolvexConnect.exe"
SAVED = ("ProxyTypeAutoDetect = off\r\nAutoProxy = off\r\nAutoConfigURL = \r\n"
         "ProxyTypeDirect = off\r\nProxyAddress = corp.proxy:3128\r\nProxyBypass = *.corp;<local>\r\n")


class ProxyClientTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("wineprefix-proxyclient")
        cls.prefix.create(fresh=False, overrides=("%s:wininet" % CLIENT,))

    @classmethod
    def tearDownClass(cls):
        cls.prefix.retire()

    def client(self, *args):
        result = self.prefix.wine(os.path.join(BIN_DIR, CLIENT), "proxy", *args)
        lines = result.stdout.decode("utf-8").splitlines()
        return result.returncode, dict(line.split("=", 1) for line in lines if "=" in line)

    def test_apply_then_show_gives_the_file_values_per_connection(self):
        path = os.path.join(self.prefix.drive_c(), "saved apply.txt")
        with open(path, "wb") as out:
            out.write(SAVED.encode("utf-16-le"))
        code, _ = self.client("apply", windows_path(path, self.prefix), "NolvexConnectDial")
        self.assertEqual(0, code)
        code, shown = self.client("show", "NolvexConnectDial")
        self.assertEqual(0, code)
        self.assertEqual(("corp.proxy:3128", "*.corp;<local>", "off", "3"),
                         (shown["ProxyAddress"], shown["ProxyBypass"], shown["ProxyTypeDirect"], shown["Flags"]))
        code, lan = self.client("show")
        self.assertEqual(0, code)
        self.assertNotEqual("corp.proxy:3128", lan["ProxyAddress"])   # the LAN default kept its own

    def test_save_writes_the_live_values_into_the_users_folder(self):
        path = os.path.join(self.prefix.drive_c(), "saved live.txt")
        with open(path, "wb") as out:
            out.write(SAVED.encode("utf-16-le"))
        self.assertEqual(0, self.client("apply", windows_path(path, self.prefix), "VpnEntry")[0])
        code, out = self.client("save", "dom:user", "VpnEntry")
        self.assertEqual(0, code)
        self.assertTrue(out["Written"].endswith("\\NolvexConnect\\ProxySetting_dom user_VpnEntry.txt"), out)
        [saved] = glob.glob(self.prefix.drive_c("users", "*", "AppData", "Roaming", "NolvexConnect",
                                                "ProxySetting_dom user_VpnEntry.txt"))
        with open(saved, "rb") as data:
            self.assertEqual(SAVED.encode("utf-16-le"), data.read())

    def test_bad_input_is_refused(self):
        self.assertEqual(2, self.client("bogus")[0])
        missing = windows_path(os.path.join(self.prefix.drive_c(), "missing.txt"), self.prefix)
        self.assertEqual(3, self.client("apply", missing)[0])


if __name__ == "__main__":
    unittest.main()
