"""NolvexConnectProxyReset under Wine, started as the monitor service starts it: the application
name and the command line " <ID> \"<saved file>\" <entry>" (nc_proxyrun). The wininet simulator
is selected for the tool only and journals what the tool set; the exit code tells the outcome."""
import glob
import json
import os
import shutil
import subprocess
import unittest

import desktop
import peinfo
import winehelp
from winehelp import BIN_DIR, Prefix, windows_path

TOOL = "NolvexConnectProxyReset.exe"
SERVICE_FORMAT = ' %s "%s" %s'
APPLIED, WRONG_ARGUMENTS, FILE_UNREADABLE, APPLY_FAILED = 0, 1, 2, 3
NOT_ENDED = 254
DIRECT, PROXY, AUTO_PROXY_URL, AUTO_DETECT = 1, 2, 4, 8
PER_CONNECTION_OPTION, PROXY_SETTINGS_CHANGED, SETTINGS_CHANGED, REFRESH = 75, 95, 39, 37

SAVED = ("ProxyTypeAutoDetect = on\r\nAutoProxy = on\r\nAutoConfigURL = http://pac/ProxyBypass.pac\r\n"
         "ProxyTypeDirect = off\r\nProxyAddress = saved.proxy:8080\r\nProxyBypass = <local>\r\n")


class ProxyResetRunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # The tool runs in the user's session, on a desktop: its dialog is made and closes itself.
        if shutil.which("Xvfb") is None:
            raise RuntimeError("Xvfb is missing: install scripts/packages-setuprun.txt")
        cls.xserver = desktop.XServer()
        cls.xserver.start()
        cls.prefix = Prefix("wineprefix-proxyreset")
        cls.prefix.env.update(cls.xserver.env())
        cls.prefix.create(fresh=False, overrides=("%s:wininet" % TOOL,))
        cls.sim_dir = cls.prefix.drive_c("nolvex-sim", "wininet")
        cls.saved_dir = cls.prefix.drive_c("Saved Proxy Files")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.retire()
        cls.xserver.stop()

    def setUp(self):
        shutil.rmtree(self.sim_dir, ignore_errors=True)
        shutil.rmtree(self.saved_dir, ignore_errors=True)
        os.makedirs(self.saved_dir)

    def save(self, name, text):
        path = os.path.join(self.saved_dir, name)
        with open(path, "wb") as out:
            out.write(text.encode("utf-16-le"))
        return windows_path(path, self.prefix)

    def run_tool(self, command_line):
        result = self.prefix.wine(os.path.join(BIN_DIR, "nc_proxyrun.exe"), os.path.join(BIN_DIR, TOOL),
                                  command_line, timeout=180)
        self.assertNotEqual(NOT_ENDED, result.returncode, "the tool did not end by itself")
        return result.returncode

    def journal(self):
        try:
            with open(os.path.join(self.sim_dir, "journal.txt"), encoding="utf-8") as lines:
                return [json.loads(line) for line in lines if line.strip()]
        except FileNotFoundError:
            return []

    def sets(self):
        return [r for r in self.journal()
                if r["call"] == "InternetSetOptionW" and r["option"] == PER_CONNECTION_OPTION]

    def test_id_and_path_restore_the_lan_default(self):
        path = self.save("ProxySetting_dom user.txt", SAVED)
        self.assertEqual(APPLIED, self.run_tool(SERVICE_FORMAT % ("dom:user", path, "")))
        [applied] = self.sets()
        self.assertEqual("DefaultConnectionSettings", applied["connection"])
        self.assertEqual(DIRECT | PROXY | AUTO_PROXY_URL | AUTO_DETECT, applied["flags"])
        self.assertEqual(("saved.proxy:8080", "<local>", "http://pac/ProxyBypass.pac"),
                         (applied["server"], applied["bypass"], applied["script"]))
        options = [r["option"] for r in self.journal() if r["call"] == "InternetSetOptionW"]
        self.assertEqual([PER_CONNECTION_OPTION, PROXY_SETTINGS_CHANGED, SETTINGS_CHANGED, REFRESH], options)

    def test_saved_file_with_an_entry_goes_to_that_entry(self):
        path = self.save("ProxySetting_u_Dial.txt", SAVED)
        self.assertEqual(APPLIED, self.run_tool(SERVICE_FORMAT % ("u", path, "NolvexConnectDial")))
        self.assertEqual(["NolvexConnectDial"], [r["connection"] for r in self.sets()])

    def test_empty_path_with_an_entry_makes_that_entry_direct(self):
        path = self.save("ProxySetting_u_Dial.txt", SAVED)
        self.assertEqual(APPLIED, self.run_tool(SERVICE_FORMAT % ("u", path, "NolvexConnectDial")))
        self.assertEqual(APPLIED, self.run_tool(SERVICE_FORMAT % ("u", "", "NolvexConnectDial")))
        direct = self.sets()[-1]
        self.assertEqual("NolvexConnectDial", direct["connection"])
        self.assertEqual((DIRECT, "", "", ""),
                         (direct["flags"], direct["server"], direct["bypass"], direct["script"]))

    def test_one_or_four_arguments_change_nothing(self):
        path = self.save("ProxySetting_u.txt", SAVED)
        self.assertEqual(WRONG_ARGUMENTS, self.run_tool(" u"))
        self.assertEqual(WRONG_ARGUMENTS, self.run_tool(SERVICE_FORMAT % ("u", path, "Entry extra")))
        self.assertEqual([], self.sets())

    def test_a_path_with_blanks_arrives_whole(self):
        path = self.save("ProxySetting_a b c.txt", SAVED)
        self.assertIn(" ", path)
        self.assertEqual(APPLIED, self.run_tool(SERVICE_FORMAT % ("a:b:c", path, "")))
        self.assertEqual(["saved.proxy:8080"], [r["server"] for r in self.sets()])

    def test_unreadable_or_partial_file_applies_nothing(self):
        missing = windows_path(os.path.join(self.saved_dir, "ProxySetting_gone.txt"), self.prefix)
        self.assertEqual(FILE_UNREADABLE, self.run_tool(SERVICE_FORMAT % ("u", missing, "")))
        # A file cut after its fifth line: "direct off" must not be applied with an empty bypass.
        partial = self.save("ProxySetting_cut.txt", SAVED[:SAVED.index("ProxyBypass")])
        self.assertEqual(FILE_UNREADABLE, self.run_tool(SERVICE_FORMAT % ("u", partial, "")))
        self.assertEqual([], self.sets())

    def test_a_refused_apply_is_reported(self):
        os.makedirs(self.sim_dir, exist_ok=True)
        with open(os.path.join(self.sim_dir, "scenario.ini"), "w") as scenario:
            scenario.write("fail_option=%d\n" % PER_CONNECTION_OPTION)
        path = self.save("ProxySetting_u.txt", SAVED)
        self.assertEqual(APPLY_FAILED, self.run_tool(SERVICE_FORMAT % ("u", path, "")))
        os.makedirs(self.sim_dir, exist_ok=True)
        with open(os.path.join(self.sim_dir, "scenario.ini"), "w") as scenario:
            scenario.write("fail_option=%d\n" % REFRESH)
        self.assertEqual(APPLY_FAILED, self.run_tool(SERVICE_FORMAT % ("u", path, "")))

    def test_the_trace_log_is_written_in_the_users_folder(self):
        path = self.save("ProxySetting_logged.txt", SAVED)
        self.assertEqual(APPLIED, self.run_tool(SERVICE_FORMAT % ("logged", path, "")))
        logs = glob.glob(self.prefix.drive_c("users", "*", "AppData", "Roaming", "NolvexConnect", "Logs",
                                             "NolvexConnectLog_*.dat"))
        self.assertNotEqual([], logs)
        text = ""
        for log in logs:
            with open(log, "rb") as data:
                text += data.read().decode("utf-16-le", errors="replace")
        self.assertIn("[OutputInfo] ProxyAddress is saved.proxy:8080", text)
        self.assertIn("[OutputInfo] AutoConfigURL is http://pac/ProxyBypass.pac", text)
        # The dialog was made (there is a desktop) and closed itself without anyone.
        self.assertIn("CNolvexConnectProxyResetDlg::DoModal", text)
        self.assertNotIn("The dialog could not be shown", text)


class ProxyResetBuildTest(unittest.TestCase):
    """The tool carries the read-and-apply half of the proxy classes only."""

    def symbols(self, name):
        nm = ("i686" if winehelp.ARCH == "i686" else "x86_64") + "-w64-mingw32-nm"
        result = subprocess.run([nm, "-C", os.path.join(BIN_DIR, name)], capture_output=True, check=True)
        return result.stdout.decode("utf-8", errors="replace")

    def test_the_saving_half_is_not_linked(self):
        symbols = self.symbols(TOOL)
        for present in ("ProxySetting::ReadSetting", "ProxySetting::GetBufValue", "ProxySetting::GetDirPath",
                        "ProxyInformation::ApplyProxySetting", "ProxyInformation::GetProxySetting",
                        "ProxyInformation::IsProxyAutoDetect", "ProxyInformation::ReadSetting"):
            self.assertIn(present, symbols)
        for absent in ("ProxySetting::WriteSetting", "ProxySetting::DeleteSetting", "ProxySetting::IsFileExist",
                       "ProxySetting::BuildContent", "ProxyInformation::WriteSetting",
                       "ProxyInformation::DeleteSetting", "ProxyInformation::GetProxySettingFileList"):
            self.assertNotIn(absent, symbols)
        with open(os.path.join(BIN_DIR, TOOL), "rb") as program:
            data = program.read()
        self.assertIn("Failed to read the setting file".encode("utf-16-le"), data)
        self.assertNotIn("Failed to write the setting file".encode("utf-16-le"), data)

    def test_the_simulator_exports_what_the_product_programs_import_from_wininet(self):
        exported = set(dll_exports(os.path.join(BIN_DIR, "wininet.dll")))
        for name in (TOOL, "NolvexConnect.exe", "proxy_tests.exe"):
            imported = peinfo.imports(os.path.join(BIN_DIR, name)).get("wininet.dll", [])
            with self.subTest(program=name):
                self.assertNotEqual([], imported)
                self.assertEqual(set(), set(imported) - exported)


def dll_exports(path):
    """The export names of a DLL, read with the cross toolchain's objdump."""
    objdump = ("i686" if winehelp.ARCH == "i686" else "x86_64") + "-w64-mingw32-objdump"
    out = subprocess.run([objdump, "-p", path], capture_output=True, check=True).stdout.decode()
    names, in_table = [], False
    for line in out.splitlines():
        if line.strip().startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
            continue
        if in_table:
            parts = line.split()
            if len(parts) >= 2 and parts[0].startswith("["):
                names.append(parts[-1])
            elif line.strip() == "":
                break
    return names


if __name__ == "__main__":
    unittest.main()
