"""The update key named by the build: a release configuration without the product's own key does
not configure (no Wine involved: the configure step alone)."""
import os
import shutil
import subprocess
import tempfile
import unittest

import winehelp


class ReleaseKeyTest(unittest.TestCase):
    def configure(self, *options):
        build = tempfile.mkdtemp(prefix="nc-keycfg-")
        self.addCleanup(shutil.rmtree, build, True)
        toolchain = os.path.join(winehelp.SOURCE_DIR, "cmake", "mingw-%s.cmake" % winehelp.ARCH)
        res = subprocess.run(["cmake", "-S", winehelp.SOURCE_DIR, "-B", build, "-G", "Ninja",
                              "-DCMAKE_TOOLCHAIN_FILE=" + toolchain, "-DCMAKE_BUILD_TYPE=Release", *options],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
        return res.returncode, res.stdout.decode("utf-8", "replace")

    def test_a_release_without_a_named_key_does_not_configure(self):
        rc, out = self.configure("-DNOLVEX_RELEASE=ON")
        self.assertNotEqual(0, rc)
        self.assertIn("a release needs the product's update key", out)

    def test_a_release_with_the_development_key_under_another_name_does_not_configure(self):
        folder = tempfile.mkdtemp(prefix="nc-key-")
        self.addCleanup(shutil.rmtree, folder, True)
        copy = os.path.join(folder, "product-update-public.blob")
        shutil.copy(os.path.join(winehelp.SOURCE_DIR, "keys", "dev-update-public.blob"), copy)
        rc, out = self.configure("-DNOLVEX_RELEASE=ON", "-DNOLVEX_UPDATE_KEY=" + copy)
        self.assertNotEqual(0, rc)
        self.assertIn("must not carry the development update key", out)


if __name__ == "__main__":
    unittest.main()
