"""The module update through the registration server, end to end: the installed test client asks
its window, downloads the offered archive with progress notices, unpacks it into its own folder
and hands it to the installed, running monitor service, which applies it. Also the refusals (no
update, declined, hung window, stopped service, hostile attachment names), a 50 MB download's
percentages and a cancel during the download."""
import hashlib
import os
import re
import shutil
import tempfile
import time
import unittest

import ncclient
import registhelp
import winehelp
from mockhttp import Reply  # noqa: E402  (tests/servers is on the path through registhelp)
from registserver import RegistServer, archive_password, profile_document
from servicehost import INSTALL_DIR_WIN, INSTALLED_CLIENT, SERVING, ServiceScenario

SIGN_TOOL = os.path.join(winehelp.BIN_DIR, "nc_updatesign.exe")
DEV_KEY = os.path.join(winehelp.SOURCE_DIR, "keys", "dev-update-private.blob")
SEVENZIP = "7-zip64.dll" if winehelp.ARCH == "x86_64" else "7-zip32.dll"
MODULE_NUMBER = "1207"
CANCEL_LIMIT_MS = 2000
PERCENT = re.compile(r"^notice msg=0 title=28504 status=100 text= *(\d+)%$")


class RegistrationUpdateTest(ServiceScenario):
    PREFIX = "wineprefix-regist-update"
    BRING_UP = SERVING

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        shutil.copy2(os.path.join(winehelp.BIN_DIR, SEVENZIP), cls.host.install_dir(SEVENZIP))
        cls.work = tempfile.mkdtemp(prefix="regist-update-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)
        super().tearDownClass()

    def setUp(self):
        super().setUp()
        self.server = RegistServer().__enter__()
        self.addCleanup(self.server.stop)
        self.write_ini(RegistTerminalServerURL=self.server.base_url(), AllowPlainHTTP="1")
        for name in os.listdir(self.app_data()) if os.path.isdir(self.app_data()) else []:
            if name.startswith("UpdateModule_") or name.endswith((".dat", ".zip", ".part")):
                path = self.app_data(name)
                shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)

    # --- helpers ------------------------------------------------------------------------------
    def app_data(self, *parts):
        return self.host.user_app_data("NolvexConnect", *parts)

    def win(self, path):
        return winehelp.windows_path(path, self.host.prefix)

    def write_ini(self, **keys):
        import base64
        text = base64.b64encode(registhelp.ini_xml(**keys).encode("utf-16-le")).decode("ascii")
        with open(self.host.install_dir("NolvexConnectIni.xml"), "wb") as f:
            f.write(text.encode("utf-16-le"))

    def store_profile(self, **values):
        doc = dict(updateExecFlag="1", execConfirm="1", updateModuleNumber=MODULE_NUMBER)
        doc.update(values)
        source = self.host.prefix.drive_c("regist-profile.xml")
        with open(source, "w", encoding="utf-8", newline="") as f:
            f.write(profile_document(**doc))
        rc, out = self.host.client("profile", "store", self.win(source))
        self.assertEqual(0, rc, out)

    def signed_update(self, files):
        folder = tempfile.mkdtemp(dir=self.host.prefix.drive_c())
        for rel, data in files.items():
            path = os.path.join(folder, *rel.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        res = self.host.prefix.wine(SIGN_TOOL, "sign", DEV_KEY, self.win(folder))
        self.assertEqual(0, res.returncode, res.stderr)
        return folder

    def update(self, *options, timeout=180):
        rc, out, err = ncclient.run(self.host.prefix, "update", "module", *options, timeout=timeout, exe=INSTALLED_CLIENT)
        self.assertEqual(0, rc, out + err)
        values, other = registhelp.parse(out)
        return values, other

    def percents(self, other):
        return [int(m.group(1)) for m in (PERCENT.match(line) for line in other) if m]

    def leftovers(self):
        found = [n for n in os.listdir(self.app_data()) if n.startswith("UpdateModule_") or
                 n.endswith((".dat", ".zip", ".part"))]
        download = self.app_data("UpdateDownload")
        return found + (["UpdateDownload/" + n for n in os.listdir(download)] if os.path.isdir(download) else [])

    # --- the designed path ------------------------------------------------------------------
    def test_an_offered_update_is_asked_for_downloaded_unpacked_and_applied_by_the_service(self):
        self.store_profile()
        folder = self.signed_update({"added-by-update.txt": b"new module"})
        self.server.offer_update(folder, archive_password(MODULE_NUMBER))
        applied = self.host.count("UpdateProc End")
        values, other = self.update("--answer", "-2,6")
        self.assertEqual(("0", "1", "0"), (values["result"], values["isUpdateModule"], values["isUpdateCancel"]), other)
        self.assertEqual(2, len([l for l in other if l.startswith("window message=0x403 wParam=8602 lParam=4")]))
        self.assertEqual(100, self.percents(other)[-1])
        self.assertIn("notice msg=0 title=28505 status=100 text=", other)
        form = self.server.forms("updateClient")[0]
        infos = dict(v.split("*") for k, v in form if k == "installedFileInfo")
        with open(self.host.install_dir("NolvexConnect.exe"), "rb") as f:
            self.assertEqual(hashlib.md5(f.read()).hexdigest(), infos["NolvexConnect.exe"])
        self.assertEqual([("updateModuleNumber", MODULE_NUMBER)], form[-1:])
        self.assertEqual("installedVersion", form[-2][0])
        # The service got "DoUpdate" from the client's process and applies it once it has ended.
        self.assertTrue(self.host.wait_log("UpdateProc End", 120, times=applied + 1), self.host.log_lines()[-30:])
        with open(self.host.install_dir("added-by-update.txt"), "rb") as f:
            self.assertEqual(b"new module", f.read())
        self.assertEqual([], [n for n in self.leftovers() if not n.startswith("UpdateModule_")])

    def test_no_update_declined_hung_window_and_no_module_flag(self):
        self.store_profile()
        self.server.no_update()
        self.assertEqual("28506", self.update()[0]["result"])
        requests = len(self.server.requests("updateClient"))
        values, other = self.update("--answer", "7")
        self.assertEqual(("18500", "1"), (values["result"], values["isUpdateCancel"]))
        start = time.monotonic()
        values, _ = self.update("--answer", "hang", "--answer-timeout", "1000")
        self.assertEqual(("18500", "1"), (values["result"], values["isUpdateCancel"]))
        self.assertLess(time.monotonic() - start, 30)
        self.assertEqual(requests, len(self.server.requests("updateClient")))   # never asked the server
        self.store_profile(updateExecFlag="0")
        self.assertEqual("18601", self.update()[0]["result"])

    def test_hostile_or_broken_attachments_give_failures_and_touch_nothing_else(self):
        self.store_profile(execConfirm="0")
        keep = self.app_data("Logs-keep.txt")
        with open(keep, "wb") as f:
            f.write(b"kept")
        # The adapter refuses names that are no plain file name (an HTTP 200 failure: the update
        # table's 5241); the unpacker refuses a name without stem or of another kind (4001).
        for name, expected in ((".dat", "4001"), ("..\\x.dat", "5241"), ("../x.dat", "5241"), ("x.exe", "4001"),
                               ("TerminalRegist.xml", "4001"), ("UserSetting.xml", "4001")):
            self.server.offer_attachment(b"PK garbage", name)
            values, _ = self.update()
            self.assertEqual(expected, values["result"], name)
            self.assertEqual("0", values["isUpdateModule"])
        self.server.offer_attachment(b"this is no archive", "Logs.dat")
        self.assertEqual("4001", self.update()[0]["result"])
        rc, out = self.host.client("profile", "show")
        self.assertEqual(0, rc, out)   # the profile is still there and loads
        with open(keep, "rb") as f:
            self.assertEqual(b"kept", f.read())
        self.assertEqual([], self.leftovers())
        self.server.answer_code("updateClient", "1202015")
        self.assertEqual("8781", self.update()[0]["result"])

    def test_a_50_mb_download_reports_exact_rising_percentages_and_a_cancel_ends_it(self):
        self.store_profile(execConfirm="0")
        folder = tempfile.mkdtemp(dir=self.work)
        with open(os.path.join(folder, "big.bin"), "wb") as f:
            f.write(os.urandom(50 * 1024 * 1024))
        data = self.server.attachment_bytes(folder, archive_password(MODULE_NUMBER))
        self.assertGreater(len(data), 50 * 1024 * 1024)
        self.server.offer_attachment(data, "big.dat", chunk_size=1024 * 1024, chunk_delay=0.1)
        values, other = self.update()
        percents = self.percents(other)
        # Corrupted by a 32-bit product past 21 MB, they would fall back or leave 0..100.
        self.assertEqual(sorted(percents), percents, percents)
        self.assertTrue(all(0 <= p <= 100 for p in percents), percents)
        self.assertGreaterEqual(len([p for p in percents if 40 < p < 100]), 3, percents)
        self.assertEqual(100, percents[-1])
        # The client's part succeeds (the service refuses this unsigned folder later).
        self.assertEqual("0", values["result"], other[-20:])
        # A cancel during the download.
        values, other = self.update("--cancel-after", "2500")
        self.assertEqual("18500", values["result"], other[-20:])
        self.assertLess(int(values["cancel_ms"]), CANCEL_LIMIT_MS)
        self.assertLess(int(values["elapsed_ms"]), 2500 + CANCEL_LIMIT_MS)
        self.assertEqual([], [n for n in self.leftovers() if n.endswith((".dat", ".zip", ".part"))])

    def test_registration_runs_the_update_step_and_reports_its_outcome(self):
        rc, out = self.host.client("settings", "set", "NolvexID=user1")
        self.assertEqual(0, rc, out)
        self.store_profile()
        profile = dict(category="0", infocode="0", updateExecFlag="1", execConfirm="1", updateModuleNumber=MODULE_NUMBER)
        # No update on offer: the registration's own success code.
        self.server.answer_profile(authTerminalID="T-UPD-1", **profile)
        self.server.no_update()
        values, other = self.register()
        self.assertEqual(("8720", "1", "0", ""), (values["result"], values["isProfileLoad"], values["isUpdateModule"],
                                                  values["AddMsg"]), other[-20:])
        # The user declines: the profile is renewed all the same, and the registration says so.
        self.server.answer_profile(authTerminalID="T-UPD-2", **profile)
        values, other = self.register("--answer", "7")
        self.assertEqual(("8501", "1", "1"), (values["result"], values["isProfileLoad"], values["isUpdateCancel"]))
        rc, out = self.host.client("profile", "show")
        self.assertIn("Common.authTerminalID=T-UPD-2", out)

    def register(self, *options):
        rc, out, err = ncclient.run(self.host.prefix, "register", "0", "pw", *options, timeout=180, exe=INSTALLED_CLIENT)
        self.assertEqual(0, rc, out + err)
        return registhelp.parse(out)

    def test_zz_a_stopped_service_gives_8600(self):
        self.store_profile(execConfirm="0")
        self.server.no_update()
        rc, out = self.host.stop()
        self.assertEqual(0, rc, out)
        try:
            self.assertEqual("8600", self.update()[0]["result"])
            self.assertEqual([], self.server.requests("updateClient"))
        finally:
            self.host.install_and_serve()


if __name__ == "__main__":
    unittest.main()
