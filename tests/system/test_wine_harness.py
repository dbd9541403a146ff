"""How the project starts Wine: the architecture chosen for a machine, the build folder's own
prefix kind, and what every Wine process of the harness gets in its environment."""
import os
import subprocess
import sys
import unittest
from unittest import mock

import winehelp

NOLVEXWINE = os.path.join(winehelp.SOURCE_DIR, "scripts", "nolvexwine.py")
BUILD = os.path.join(winehelp.SOURCE_DIR, "scripts", "build")
PROXIES = {"http_proxy": "http://192.0.2.1:3128", "https_proxy": "http://192.0.2.1:3128",
           "no_proxy": "example.invalid", "HTTP_PROXY": "http://192.0.2.1:3128"}


def harness(*args, **env):
    """Runs a harness command with these variables on top of a clean environment."""
    base = {k: v for k, v in os.environ.items()
            if k not in ("NOLVEX_ARCH", "NOLVEX_BUILD_DIR", "NOLVEX_32BIT_PROBE")}
    base.update(env)
    return subprocess.run(list(args), env=base, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, timeout=60)


class ArchitectureChoice(unittest.TestCase):
    """The default follows what the machine can execute; NOLVEX_ARCH overrides it."""

    def arch(self, **env):
        result = harness(sys.executable, NOLVEXWINE, "arch", **env)
        self.assertEqual(0, result.returncode, result.stderr)
        return result.stdout.strip()

    def test_a_machine_that_runs_the_32bit_probe_tests_i686(self):
        self.assertEqual("i686", self.arch(NOLVEX_32BIT_PROBE="true"))

    def test_a_machine_that_refuses_the_probe_tests_x86_64(self):
        self.assertEqual("x86_64", self.arch(NOLVEX_32BIT_PROBE="false"))
        self.assertEqual("x86_64", self.arch(NOLVEX_32BIT_PROBE="sh -c 'exit 126'"))
        self.assertEqual("x86_64", self.arch(NOLVEX_32BIT_PROBE="/nonexistent/wineserver32"))

    def test_the_named_architecture_wins_over_the_probe(self):
        self.assertEqual("x86_64", self.arch(NOLVEX_ARCH="x86_64", NOLVEX_32BIT_PROBE="true"))
        self.assertEqual("i686", self.arch(NOLVEX_ARCH="i686", NOLVEX_32BIT_PROBE="false"))

    def test_a_configured_build_folder_keeps_its_architecture(self):
        self.assertEqual(winehelp.ARCH, self.arch(NOLVEX_BUILD_DIR=winehelp.BUILD_DIR,
                                                  NOLVEX_32BIT_PROBE="true" if winehelp.ARCH == "x86_64" else "false"))

    def test_an_unknown_architecture_is_refused_with_its_name(self):
        result = harness(sys.executable, NOLVEXWINE, "arch", NOLVEX_ARCH="arm64")
        self.assertEqual(2, result.returncode)
        self.assertIn("arm64", result.stderr)

    def test_a_build_folder_of_the_other_architecture_is_not_built_over(self):
        other = "i686" if winehelp.ARCH == "x86_64" else "x86_64"
        result = harness(BUILD, NOLVEX_ARCH=other, NOLVEX_BUILD_DIR=winehelp.BUILD_DIR)
        self.assertEqual(2, result.returncode)
        self.assertIn("configured for %s, not %s" % (winehelp.ARCH, other), result.stderr)


class WineProcessEnvironment(unittest.TestCase):
    """A Windows program started by the harness runs in the prefix kind of its build and never
    sees the proxy variables of the shell that started the tests."""

    @classmethod
    def setUpClass(cls):
        with mock.patch.dict(os.environ, PROXIES):
            cls.prefix = winehelp.Prefix("wineprefix-harness")
        cls.prefix.create(fresh=False)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.retire()

    def environment_seen_by_windows(self):
        result = self.prefix.wine("cmd", "/c", "set", check=True)
        lines = result.stdout.decode("utf-8", "replace").splitlines()
        return dict(line.split("=", 1) for line in lines if "=" in line)

    def test_no_proxy_variable_reaches_a_windows_program(self):
        seen = {name.lower() for name in self.environment_seen_by_windows()}
        self.assertEqual(set(), seen & {name.lower() for name in PROXIES})

    def test_the_prefix_is_of_the_build_architecture(self):
        seen = {k.upper(): v for k, v in self.environment_seen_by_windows().items()}
        expected = "AMD64" if winehelp.ARCH == "x86_64" else "x86"
        self.assertEqual(expected, seen.get("PROCESSOR_ARCHITECTURE"))
        syswow64 = os.path.isdir(self.prefix.drive_c("windows", "syswow64"))
        self.assertEqual(winehelp.ARCH == "x86_64", syswow64)


class UnitTestProgramCrash(unittest.TestCase):
    """A crash on any thread of a unit test program fails it: the program ends at once with the
    exception's code and says so, whatever the prefix's crash debugger would do."""

    ACCESS_VIOLATION = 0xC0000005

    @classmethod
    def setUpClass(cls):
        cls.prefix = winehelp.Prefix("wineprefix-harness")
        cls.prefix.create(fresh=False)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.retire()

    def test_a_crash_on_a_worker_thread_ends_the_program_with_the_exception_code(self):
        result = self.prefix.wine(os.path.join(winehelp.BIN_DIR, "nc_crashprobe.exe"), timeout=120)
        self.assertEqual(self.ACCESS_VIOLATION & 0xFF, result.returncode)
        self.assertIn("unhandled exception 0x%08x" % self.ACCESS_VIOLATION,
                      result.stderr.decode("utf-8", "replace"))


class ScenarioPrefixLifetime(unittest.TestCase):
    """A finished scenario's prefix goes, unless the run asked to keep it for a look afterwards."""

    def leftover_after_retire(self, **env):
        prefix = winehelp.Prefix("wineprefix-retire-check")
        os.makedirs(prefix.drive_c("windows"), exist_ok=True)
        self.addCleanup(prefix.remove)
        with mock.patch.dict(os.environ, env):
            prefix.retire()
        return os.path.isdir(prefix.path)

    def test_a_retired_prefix_is_removed(self):
        self.assertFalse(self.leftover_after_retire(NOLVEX_KEEP_PREFIXES=""))

    def test_a_kept_prefix_stays(self):
        self.assertTrue(self.leftover_after_retire(NOLVEX_KEEP_PREFIXES="1"))


if __name__ == "__main__":
    unittest.main()
