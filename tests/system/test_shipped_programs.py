"""What every shipped program asks of Windows before a line of it runs."""
import os
import unittest

import peinfo
import winehelp

SHIPPED = ["NolvexConnectMonitor.exe", "setuprun.exe", "NolvexConnectProxyReset.exe"]
# The 32-bit programs are the ones that run on Windows XP. scripts/test builds both architectures
# and names the 32-bit folder; without it, the build folder under test or a build/i686 beside it.
SIBLING_I686_BIN_DIR = os.path.join(os.path.dirname(winehelp.BUILD_DIR), "i686", "bin")
I686_BIN_DIR = os.environ.get("NOLVEX_I686_BIN_DIR") or (
    winehelp.BIN_DIR if winehelp.ARCH == "i686" else
    SIBLING_I686_BIN_DIR if os.path.isdir(SIBLING_I686_BIN_DIR) else None)


class ShippedProgramTest(unittest.TestCase):
    def test_no_32bit_program_imports_what_windows_xp_lacks(self):
        self.assertIsNotNone(I686_BIN_DIR, "no 32-bit build: run scripts/test, which builds both")
        for name in SHIPPED:
            path = os.path.join(I686_BIN_DIR, name)
            self.assertTrue(os.path.exists(path), name + " is not built")
            self.assertEqual(32, peinfo.machine_bits(path))
            for dll, names in peinfo.imports(path).items():
                with self.subTest(program=name, dll=dll):
                    self.assertEqual([], sorted(set(names) & peinfo.NOT_ON_XP.get(dll, set())))

    def test_programs_are_built_for_the_architecture_under_test(self):
        bits = 32 if winehelp.ARCH == "i686" else 64
        for name in SHIPPED + ["NolvexConnect.exe", "wtsapi32.dll"]:
            with self.subTest(program=name):
                self.assertEqual(bits, peinfo.machine_bits(os.path.join(winehelp.BIN_DIR, name)))

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
