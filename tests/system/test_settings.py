"""The user setting file, the initialization file and the OS and registry values as the programs
see them in a Wine prefix, driven through the test client's settings, ini and osinfo commands
(docs/testclient.md, docs/settings.md). The written setting file is decrypted with Debian's
openssl and the key the registry holds."""
import base64
import os
import shutil
import unittest

import ncclient
import winehelp
from simwts import SimWts
from test_coding_formats import openssl_cfb8, pkcs5_unpad

PREFIX = winehelp.Prefix("wineprefix-settings")
PRODUCT_KEY = r"HKCU\Software\Korvell\NolvexConnect"
INSTALL_KEY = r"HKLM\Software\Korvell\NolvexConnect"
APP_DEFAULTS = r"HKCU\Software\Wine\AppDefaults"


def setUpModule():
    PREFIX.create(fresh=False)
    PREFIX.wine("cmd", "/c", "exit", timeout=300)
    PREFIX.set_dll_override("wtsapi32")


def tearDownModule():
    PREFIX.retire()


def client(*args, exe=None):
    """Runs a test client command; (exit code, {name: value} of its output lines, stderr)."""
    if exe is None:
        code, out, err = ncclient.run(PREFIX, *args)
    else:
        r = PREFIX.wine(exe, *args, env_extra=ncclient.UTF8_LOCALE)
        code, out, err = r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")
    values = {}
    for line in out.splitlines():
        name, sep, value = line.partition("=")
        if sep:
            values[name] = value
    return code, values, err


def unix_path(windows_path):
    assert windows_path[:3].upper() == "C:\\", windows_path
    return PREFIX.drive_c(*windows_path[3:].rstrip("\\").split("\\"))


class UserSettingFile(unittest.TestCase):
    def setUp(self):
        code, info, _ = client("osinfo")
        self.assertEqual(0, code)
        self.folder = unix_path(info["AppDataFolderPath"])
        self.path = os.path.join(self.folder, "UserSetting.xml")
        shutil.rmtree(self.folder, ignore_errors=True)
        PREFIX.reg_delete(PRODUCT_KEY, "UserSettingFile")

    def registry_key(self):
        return client("osinfo")[1]["UserSettingFileKeyInfo"]

    def test_written_file_decrypts_with_openssl_to_the_thirteen_lines(self):
        code, _, err = client("settings", "set", "LastConnectType=1", "NolvexID=a<b>&c",
                              "UpdateDate=20261208", "Language=0", "LogLevel=1")
        self.assertEqual(0, code, err)
        key = self.registry_key()
        self.assertEqual(32, len(key))
        with open(self.path, "rb") as f:
            cipher = f.read()
        plain = pkcs5_unpad(openssl_cfb8(cipher, key, decrypt=True)).decode("utf-16-le")
        expected = ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r<UserSetting>\r"
                    "  <LastConnectType>1</LastConnectType>\r  <NolvexID>a<b>&c</NolvexID>\r"
                    "  <UpdateDate>20261208</UpdateDate>\r  <AvailableSetting>\r"
                    "    <Language>0</Language>\r    <Minimize>0</Minimize>\r"
                    "    <AutoReconnect>1</AutoReconnect>\r    <AutoUpdate>0</AutoUpdate>\r"
                    "    <LogLevel>1</LogLevel>\r  </AvailableSetting>\r</UserSetting>\r")
        self.assertEqual(expected, plain)
        self.assertEqual(13, plain.count("\r"))
        self.assertNotIn("\n", plain)

    def test_values_round_trip_and_a_second_write_keeps_the_key(self):
        self.assertEqual(0, client("settings", "set", "NolvexID=x&y<z", "AutoUpdate=1")[0])
        key = self.registry_key()
        self.assertEqual(0, client("settings", "set", "LastConnectType=3")[0])
        self.assertEqual(key, self.registry_key())
        code, values, _ = client("settings", "show")
        self.assertEqual(0, code)
        self.assertEqual("1", values["Read"])
        self.assertEqual("x&y<z", values["NolvexID"])
        self.assertEqual("3", values["LastConnectType"])
        self.assertEqual("1", values["AutoUpdate"])

    def test_without_the_registry_key_nothing_is_read(self):
        self.assertEqual(0, client("settings", "set", "NolvexID=kept")[0])
        PREFIX.reg_delete(PRODUCT_KEY, "UserSettingFile")
        code, values, _ = client("settings", "show")
        self.assertEqual("0", values["Read"])
        self.assertEqual("", values["NolvexID"])

    def test_file_without_the_root_element_gives_4130(self):
        self.assertEqual(0, client("settings", "set", "NolvexID=kept")[0])
        key = self.registry_key()
        from test_coding_formats import pkcs5_pad
        text = "<Other>\r  <NolvexID>x</NolvexID>\r</Other>\r".encode("utf-16-le")
        with open(self.path, "wb") as f:
            f.write(openssl_cfb8(pkcs5_pad(text), key, decrypt=False))
        code, values, _ = client("settings", "show")
        self.assertEqual("0", values["Read"])
        self.assertEqual("4130", values["LastReadError"])

    def test_unknown_keys_change_nothing(self):
        code, _, err = client("settings", "set", "NolvexID=a", "Password=x")
        self.assertEqual(ncclient.EXIT_USAGE, code)
        self.assertFalse(os.path.exists(self.path))


class InitializationFile(unittest.TestCase):
    def setUp(self):
        self.install = PREFIX.drive_c("Program Files", "Korvell", "NolvexConnect")
        os.makedirs(self.install, exist_ok=True)
        PREFIX.reg_add(INSTALL_KEY, "Path", r"C:\Program Files\Korvell\NolvexConnect", view32=True)
        self.path = os.path.join(self.install, "NolvexConnectIni.xml")

    def tearDown(self):
        if os.path.exists(self.path):
            os.remove(self.path)

    def write_ini(self, xml):
        text = base64.b64encode(xml.encode("utf-16-le")).decode("ascii")
        with open(self.path, "wb") as f:
            f.write(text.encode("utf-16-le"))

    def test_keys_and_presence_flags_from_the_install_folder(self):
        self.write_ini("<Ini>\r<LogLevel>1</LogLevel>\r<FixID></FixID>\r<LocalMac>0</LocalMac>\r"
                       "<MBB_ConnectTimeOut>30</MBB_ConnectTimeOut>\r</Ini>\r")
        code, values, _ = client("ini", "show")
        self.assertEqual(0, code)
        self.assertEqual("1", values["Read"])
        self.assertEqual("C:\\Program Files\\Korvell\\NolvexConnect\\", values["Folder"])
        self.assertEqual("1", values["LogLevel"])
        self.assertEqual("", values["FixID"])
        self.assertEqual("1", values["FixIDPresent"])
        self.assertEqual("0", values["FixPWPresent"])
        self.assertEqual("30", values["MBB_ConnectTimeOut"])
        self.assertEqual("", values["AutoUpdate"])

    def test_missing_and_damaged_files(self):
        code, values, _ = client("ini", "show")
        self.assertEqual(0, code)
        self.assertEqual("0", values["Read"])
        self.assertEqual("", values["LogLevel"])
        with open(self.path, "wb") as f:
            f.write(b"\xff\xfe<\x00L\x00")
        code, values, _ = client("ini", "show")
        self.assertEqual(0, code)
        self.assertEqual("", values["LogLevel"])

    def test_local_mac_zero_leaves_out_locally_administered_adapters(self):
        self.write_ini("<LocalMac>1</LocalMac>")
        every = [m for m in client("osinfo")[1]["MACAddress"].split(",") if m]
        self.write_ini("<LocalMac>0</LocalMac>")
        kept = [m for m in client("osinfo")[1]["MACAddress"].split(",") if m]
        self.assertEqual([m for m in every if not int(m[:2], 16) & 0x02], kept)


class OsInformation(unittest.TestCase):
    def tearDown(self):
        PREFIX.reg_delete(APP_DEFAULTS + "\\NolvexConnect.exe")

    def version_as(self, wine_version):
        PREFIX.reg_add(APP_DEFAULTS + "\\NolvexConnect.exe", "Version", wine_version)
        return client("osinfo")[1]["OSVersion"]

    def test_version_texts_through_the_manifest(self):
        self.assertEqual("After6.2", self.version_as("win10"))
        self.assertEqual("After6.2", self.version_as("win81"))
        self.assertEqual("6.2", self.version_as("win8"))
        self.assertEqual("6.1", self.version_as("win7"))
        self.assertEqual("5.1", self.version_as("winxp"))

    def test_every_value_is_listed(self):
        code, values, _ = client("osinfo")
        self.assertEqual(0, code)
        for name in ("OSVersion", "IsWow64Process", "ComputerSID", "HDDSerialNo", "VolumeSerialNo",
                     "ComputerName", "MACAddress", "AppDataFolderPath", "ModuleName", "IsUserAdmin",
                     "PID", "WindowHandle", "BIOSSerialNo", "AllUsersAppDataFolderPath", "InstallPath",
                     "TerminalProfileKeyInfo", "UserSettingFileKeyInfo", "Publisher", "DisplayName",
                     "ModuleVersion", "UninstallInfo", "UserSID"):
            self.assertIn(name, values)
        self.assertEqual("NolvexConnect", values["ModuleName"])
        self.assertTrue(values["ComputerSID"].startswith("S-1-5-21-"))


class ServiceProcessKeys(unittest.TestCase):
    """A program named NolvexConnectMonitor reads the product keys of the active session's user
    under HKEY_USERS, and none while nobody is logged on (the terminal-services simulator)."""

    def setUp(self):
        self.folder = PREFIX.drive_c("servicekeys")
        os.makedirs(self.folder, exist_ok=True)
        self.exe = os.path.join(self.folder, "NolvexConnectMonitor.exe")
        shutil.copy(ncclient.CLIENT, self.exe)
        shutil.copy(os.path.join(winehelp.BIN_DIR, "wtsapi32.dll"), self.folder)
        self.sim = SimWts(PREFIX)
        self.sim.reset()
        PREFIX.reg_add(PRODUCT_KEY, "UserSettingFile", "K" * 32)
        PREFIX.reg_add(PRODUCT_KEY, "TerminalProfile", "profile-key")

    def tearDown(self):
        self.sim.reset()
        PREFIX.reg_delete(PRODUCT_KEY, "TerminalProfile")
        PREFIX.reg_delete(PRODUCT_KEY, "UserSettingFile")

    def test_nobody_logged_on_gives_empty_keys(self):
        self.sim.write_scenario(logged_on=False)
        code, values, _ = client("osinfo", exe=self.exe)
        self.assertEqual(0, code)
        self.assertEqual("NolvexConnectMonitor", values["ModuleName"])
        self.assertEqual("", values["UserSID"])
        self.assertEqual("", values["UserSettingFileKeyInfo"])
        self.assertEqual("", values["TerminalProfileKeyInfo"])
        self.assertEqual("", values["BIOSSerialNo"])

    def test_the_active_users_keys_under_hkey_users(self):
        self.sim.write_scenario(logged_on=True)
        code, values, _ = client("osinfo", exe=self.exe)
        self.assertEqual(0, code)
        self.assertTrue(values["UserSID"].startswith("S-1-5-"))
        self.assertEqual("K" * 32, values["UserSettingFileKeyInfo"])
        self.assertEqual("profile-key", values["TerminalProfileKeyInfo"])


if __name__ == "__main__":
    unittest.main()
