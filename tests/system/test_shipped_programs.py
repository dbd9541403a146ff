"""What every shipped program asks of Windows before a line of it runs."""
import os
import unittest

import peinfo
import winehelp

SHIPPED = ["NolvexConnectMonitor.exe", "setuprun.exe"]


class ShippedProgramTest(unittest.TestCase):
    def test_no_shipped_program_imports_what_windows_xp_lacks(self):
        for name in SHIPPED:
            path = os.path.join(winehelp.BIN_DIR, name)
            self.assertTrue(os.path.exists(path), name + " is not built")
            for dll, names in peinfo.imports(path).items():
                with self.subTest(program=name, dll=dll):
                    self.assertEqual([], sorted(set(names) & peinfo.NOT_ON_XP.get(dll, set())))

    def test_the_monitor_needs_no_runtime_library_beside_it(self):
        # Statically linked: only system libraries are imported.
        # iphlpapi (adapter list), oleaut32 (WMI and variants) and version (the version resource)
        # are system libraries of every Windows since XP.
        allowed = {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "shell32.dll",
                   "wtsapi32.dll", "user32.dll", "crypt32.dll", "userenv.dll", "shlwapi.dll",
                   "iphlpapi.dll", "oleaut32.dll", "version.dll"}
        imported = set(peinfo.imports(os.path.join(winehelp.BIN_DIR, "NolvexConnectMonitor.exe")))
        self.assertEqual(set(), imported - allowed)


if __name__ == "__main__":
    unittest.main()
