"""The user setting file, the initialization file and the OS and registry values as the programs
see them in a Wine prefix, driven through the test client's settings, ini and osinfo commands
(docs/testclient.md, docs/settings.md). The written setting file is decrypted with Debian's
openssl and the key the registry holds."""
import base64
import os
import shutil
import time
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


def write_ini(path, xml):
    """An initialization file as the product keeps it: Base64 of the UTF-16LE text, in UTF-16LE."""
    text = base64.b64encode(xml.encode("utf-16-le")).decode("ascii")
    with open(path, "wb") as f:
        f.write(text.encode("utf-16-le"))


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


class ClientTraceLog(unittest.TestCase):
    """The test client is a client program: its trace log goes to the user's Logs folder under the
    NolvexID of the user setting file, and its DEBUG lines follow that file's LogLevel, or the
    initialization file's without a user setting."""

    def setUp(self):
        code, info, _ = client("osinfo")
        self.assertEqual(0, code)
        self.folder = unix_path(info["AppDataFolderPath"])
        shutil.rmtree(self.folder, ignore_errors=True)
        PREFIX.reg_delete(PRODUCT_KEY, "UserSettingFile")
        self.logs = os.path.join(self.folder, "Logs")
        self.today = time.strftime("%Y%m%d")

    def log_name(self, user=None):
        return "NolvexConnectLog_%s%s.dat" % (self.today, "" if user is None else "_" + user)

    def lines(self, name):
        with open(os.path.join(self.logs, name), "rb") as f:
            return f.read().decode("utf-16-le").split("\r\n")[:-1]

    def debug_lines(self, name):
        return [line for line in self.lines(name) if line[25:33] == "DEBUG  :"]

    def test_the_user_setting_names_the_file_and_switches_debug_lines_on(self):
        self.assertEqual(0, client("settings", "set", "NolvexID=ann:b/c", "LogLevel=1")[0])
        shutil.rmtree(self.logs)
        self.assertEqual(0, client("settings", "show")[0])
        self.assertEqual([self.log_name("ann b c")], os.listdir(self.logs))
        self.assertTrue(self.debug_lines(self.log_name("ann b c")))

        self.assertEqual(0, client("settings", "set", "LogLevel=0")[0])
        shutil.rmtree(self.logs)
        self.assertEqual(0, client("settings", "show")[0])
        self.assertTrue(self.lines(self.log_name("ann b c")))
        self.assertEqual([], self.debug_lines(self.log_name("ann b c")))

    def test_a_new_user_switches_the_file_within_the_process(self):
        self.assertEqual(0, client("settings", "set", "NolvexID=ann")[0])
        shutil.rmtree(self.logs)
        self.assertEqual(0, client("settings", "set", "NolvexID=bob")[0])
        self.assertEqual(sorted([self.log_name("ann"), self.log_name("bob")]), sorted(os.listdir(self.logs)))
        # The write itself was logged as ann; what followed it, as bob.
        self.assertTrue(self.lines(self.log_name("ann")))
        self.assertTrue(self.lines(self.log_name("bob")))

    def test_without_a_user_setting_the_initialization_file_gives_the_level(self):
        install = PREFIX.drive_c("Program Files", "Korvell", "NolvexConnect")
        os.makedirs(install, exist_ok=True)
        PREFIX.reg_add(INSTALL_KEY, "Path", r"C:\Program Files\Korvell\NolvexConnect", view32=True)
        ini = os.path.join(install, "NolvexConnectIni.xml")
        self.addCleanup(lambda: os.path.exists(ini) and os.remove(ini))
        for level, expect_debug in (("1", True), ("0", False)):
            write_ini(ini, "<Ini>\r<LogLevel>%s</LogLevel>\r</Ini>\r" % level)
            shutil.rmtree(self.logs, ignore_errors=True)
            self.assertEqual(0, client("ini", "show")[0])
            self.assertEqual([self.log_name()], os.listdir(self.logs))
            self.assertEqual(expect_debug, bool(self.debug_lines(self.log_name())), "LogLevel " + level)


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
        write_ini(self.path, xml)

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
