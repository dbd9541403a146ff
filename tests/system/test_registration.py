"""Device registration and the failure notice against the mock registration server, through the
test client: the form bodies as the server parses them, the code tables, the stored profile (new
key, UpdateDate, reload, backups), the retry over the profile's internal address, plain http
refused, a process ended at every step of the storage, cancel, and malformed answers."""
import os
import time
import unittest

from registhelp import PROFILE, RegistPrefix
from mockhttp import Reply  # noqa: E402  (tests/servers is on the path through registhelp)
from registserver import RegistServer, profile_document

PLACE = RegistPrefix("wineprefix-regist")
CANCEL_LIMIT_MS = 2000
PASSWORD = "p@ss word&1"
FORM_KEYS_STANDARD = ["computerName", "computerSid", "nolvexId", "installedVersion", "standardPassword",
                      "terminalAuthId", "terminalIdentInfo"]


def setUpModule():
    PLACE.create()


def tearDownModule():
    PLACE.retire()


class RegistrationTest(unittest.TestCase):
    def setUp(self):
        self.server = RegistServer().__enter__()
        self.addCleanup(self.server.stop)
        PLACE.reset_user()
        self.ini(RegistTerminalServerURL=self.server.base_url(), AllowPlainHTTP="1")

    def ini(self, **keys):
        PLACE.write_ini(**keys)

    def register(self, *args, index=0, password=PASSWORD, exit_code=0):
        code, values, other, err = PLACE.client("register", str(index), password, *args)
        self.assertEqual(exit_code, code, err + "\n".join(other))
        return values, other

    def new_device(self, **profile):
        """A first registration that stores a profile (no update step)."""
        values = dict(category="0", infocode="0")
        values.update(profile)
        self.server.answer_profile(**values)
        result, _ = self.register("--flags", "0")
        self.assertEqual("8700", result["result"], result)
        return result

    def keys(self, form):
        # the MAC pairs depend on the prefix's adapters: compare them apart
        return [k for k, _ in form if k not in ("macAddress", "hddSerialNumber")]

    # --- the exchange --------------------------------------------------------------------------
    def test_a_new_device_stores_an_encrypted_profile_under_a_new_key_and_reloads_it(self):
        result = self.new_device(authTerminalID="T-NEW-1")
        self.assertEqual(("1", "200", "0"), (result["isProfileLoad"], result["Status"], result["isNetworkError"]))
        forms = self.server.forms("registTerminal")
        self.assertEqual(1, len(forms))
        form = dict(forms[0])
        self.assertEqual(FORM_KEYS_STANDARD, self.keys(forms[0]))
        self.assertEqual(PASSWORD, form["standardPassword"])
        self.assertEqual("user1", form["nolvexId"])
        self.assertEqual("", form["terminalAuthId"])   # no profile before
        self.assertEqual(43, len(form["terminalIdentInfo"]))
        with open(PLACE.app_data(PROFILE), "rb") as f:
            self.assertNotIn(b"T-NEW-1", f.read())
        self.assertEqual(32, len(PLACE.profile_key()))
        self.assertEqual("T-NEW-1", PLACE.profile()["Common.authTerminalID"])
        date = PLACE.settings()["UpdateDate"]
        self.assertRegex(date, r"^20\d{12}$")
        for name in (PROFILE + ".bak", "UserSetting.xml.bak"):
            self.assertIn(name, PLACE.files())
        self.assertNotIn(PROFILE + ".new", PLACE.files())

    def test_renewal_sends_the_profile_values_and_the_password_its_type_asks_for(self):
        self.new_device(authTerminalID="T-OLD")
        old_key = PLACE.profile_key()
        # Service 1 of the sample has password type 2: the profile's password goes instead.
        self.server.answer_profile(authTerminalID="T-RENEWED", category="0", infocode="0")
        result, _ = self.register("--flags", "0", index=1)
        self.assertEqual("8720", result["result"])
        form = self.server.forms("registTerminal")[-1]
        keys = self.keys(form)
        self.assertEqual(["computerName", "computerSid", "connectPassword", "nolvexId", "installedVersion",
                          "terminalAuthId", "terminalIdentInfo"], keys)
        self.assertEqual("c0nnect-Pw", dict(form)["connectPassword"])
        self.assertEqual("T-OLD", dict(form)["terminalAuthId"])
        self.assertNotEqual(old_key, PLACE.profile_key())
        self.assertEqual("T-RENEWED", PLACE.profile()["Common.authTerminalID"])
        # Service 0 has type 0: the given password.
        self.server.answer_profile(category="0", infocode="0")
        self.register("--flags", "0", index=0)
        self.assertIn("standardPassword", self.keys(self.server.forms("registTerminal")[-1]))

    def test_mac_invalid_drops_the_mac_pairs_and_com_sid_zero_sends_the_terminal_info(self):
        self.server.answer_code("registTerminal", "2203025")
        self.register()
        with_macs = self.server.forms("registTerminal")[-1]
        macs = [v for k, v in with_macs if k == "macAddress"]
        for mac in macs:
            self.assertRegex(mac, r"^[0-9A-F]{12}$")
        self.ini(RegistTerminalServerURL=self.server.base_url(), AllowPlainHTTP="1", MACInvalid="1", ComSid="0")
        self.register()
        form = self.server.forms("registTerminal")[-1]
        self.assertNotIn("macAddress", [k for k, _ in form])
        values = dict(form)
        self.assertEqual(values["terminalIdentInfo"].replace("_", "-"), values["computerSid"])

    def test_server_codes_map_through_the_table_with_the_code_as_text(self):
        for answer, expected, text in (("2203025", "8770", "[2203025]"), ("2310303", "8751", "[2310303]"),
                                       ("1234567", "5241", "[1234567]"), ("12a", "8560", ""),
                                       ("99999999999999999999", "5241", "[99999999999999999999]")):
            self.server.answer_code("registTerminal", answer)
            result, _ = self.register()
            self.assertEqual((expected, text, "5"), (result["result"], result["AddMsg"], result["Status"]), answer)
            self.assertEqual("0", result["isProfileLoad"])
        self.assertNotIn(PROFILE, PLACE.files())

    def test_the_failure_notice_maps_codes_profiles_and_failures(self):
        self.server.answer_code("notifyConnectErr", "2203025")
        code, v, _, err = PLACE.client("notify-error", "0", PASSWORD)
        self.assertEqual(("5230", "[2203025]", "1"), (v["ErrCode"], v["ErrMsg"], v["Publicher"]), err)
        self.server.answer_text("notifyConnectErr", "<html>busy</html>")
        v = PLACE.client("notify-error", "0", PASSWORD)[1]
        self.assertEqual(("5213", "1"), (v["ErrCode"], v["Publicher"]))
        self.server.answer_profile("notifyConnectErr", authTerminalID="T-NOTIFIED", category="1", infocode="1")
        v = PLACE.client("notify-error", "0", PASSWORD)[1]
        self.assertEqual(("5200", "1", "0"), (v["ErrCode"], v["ReloadProfile"], v["Publicher"]))
        self.assertEqual("T-NOTIFIED", PLACE.profile()["Common.authTerminalID"])
        self.server.answer("notifyConnectErr", Reply(500, b"down"))
        v = PLACE.client("notify-error", "0", PASSWORD)[1]
        self.assertEqual(("15000", "0"), (v["ErrCode"], v["Publicher"]))
        self.assertEqual(FORM_KEYS_STANDARD[:4], self.keys(self.server.forms("notifyConnectErr")[0])[:4])

    # --- addresses -----------------------------------------------------------------------------
    def test_a_network_failure_with_a_profile_retries_over_the_profiles_internal_address(self):
        self.new_device(authTerminalServerURL=self.server.base_url())
        with RegistServer() as closed:
            closed_url = closed.base_url()
        self.ini(RegistTerminalServerURL=closed_url, AllowPlainHTTP="1")
        self.server.answer_profile(authTerminalID="T-INTERNAL", category="0", infocode="0")
        before = len(self.server.forms("registTerminal"))
        result, _ = self.register("--flags", "0", "--then-retry")
        self.assertEqual(("0", "1"), (result["result"], result["isNetworkError"]))
        self.assertEqual(("8720", "1", "0"), (result["retry.result"], result["retry.isProfileLoad"],
                                              result["retry.isNetworkError"]))
        self.assertEqual(before + 1, len(self.server.forms("registTerminal")))
        self.assertEqual("T-INTERNAL", PLACE.profile()["Common.authTerminalID"])

    def test_the_first_call_reports_the_network_failure_and_a_retry_without_it_does_nothing(self):
        self.new_device(authTerminalServerURL=self.server.base_url())
        with RegistServer() as closed:
            closed_url = closed.base_url()
        self.ini(RegistTerminalServerURL=closed_url, AllowPlainHTTP="1")
        result, _ = self.register("--flags", "0")
        self.assertEqual(("0", "1", "0"), (result["result"], result["isNetworkError"], result["isProfileLoad"]))
        self.assertNotEqual("0", result["MsgCode"])   # the HTTP failure
        # A fresh object has no internal address: the retry does nothing.
        before = len(self.server.forms("registTerminal"))
        result, _ = self.register("--retry")
        self.assertEqual("0", result["result"])
        self.assertEqual(before, len(self.server.forms("registTerminal")))
        # Without a profile address the failure is 4002; with the no-retry flag, the HTTP result.
        self.server.answer_profile(authTerminalServerURL="", category="0", infocode="0")
        self.ini(RegistTerminalServerURL=self.server.base_url(), AllowPlainHTTP="1")
        self.register("--flags", "0")
        self.ini(RegistTerminalServerURL=closed_url, AllowPlainHTTP="1")
        self.assertEqual("4002", self.register("--flags", "0")[0]["result"])
        self.assertNotIn(self.register("--flags", "0x8000")[0]["result"], ("0", "4002"))

    def test_plain_http_is_refused_unless_the_initialization_file_allows_it(self):
        self.ini(RegistTerminalServerURL=self.server.base_url())
        result, _ = self.register()
        self.assertEqual("4111", result["result"])
        self.ini(RegistTerminalServerURL=self.server.base_url(), AllowPlainHTTP="0")
        self.assertEqual("4111", self.register()[0]["result"])
        self.assertEqual([], self.server.requests("registTerminal"))
        self.ini(RegistTerminalServerURL="", AllowPlainHTTP="1")
        self.assertEqual("4111", self.register()[0]["result"])

    def test_without_a_nolvex_id_nothing_is_sent(self):
        PLACE.reset_user(nolvex_id=None)
        self.assertEqual("4130", self.register()[0]["result"])
        self.assertEqual([], self.server.requests("registTerminal"))

    # --- the storage -----------------------------------------------------------------------------
    def test_ending_the_client_at_every_step_of_the_storage_leaves_a_profile_that_loads(self):
        for step in range(1, 7):
            PLACE.reset_user()
            self.new_device(authTerminalID="T-BEFORE")
            self.server.answer_profile(authTerminalID="T-AFTER", category="0", infocode="0")
            result, other = self.register("--flags", "0", "--kill-at-step", str(step), exit_code=9)
            self.assertIn("killed at step %d" % step, other)
            self.assertNotIn("result", result)
            loaded = PLACE.profile()
            self.assertIsNotNone(loaded, "step %d" % step)
            # Before the key is switched (steps 1 and 2) the old profile stays; from then on the new.
            expected = "T-BEFORE" if step <= 2 else "T-AFTER"
            self.assertEqual(expected, loaded["Common.authTerminalID"], "step %d" % step)
            self.assertNotIn(PROFILE + ".new", PLACE.files())

    def test_malformed_answers_store_nothing_and_keep_the_previous_profile(self):
        self.new_device(authTerminalID="T-KEPT")
        doc = profile_document(authTerminalID="T-TORN")
        for reply, expected in ((Reply(200, doc[:len(doc) // 2].encode("utf-8")), "5120"),
                                (Reply(200, b"\xff\xfe garbage \x00\x01"), "8560"),
                                (Reply(200, b"x" * (9 * 1024 * 1024)), "5241"),
                                (Reply(200, doc.encode("utf-8"), drop_after=300), None)):
            self.server.answer("registTerminal", reply)
            result, _ = self.register("--flags", "0")
            if expected:
                self.assertEqual(expected, result["result"])
            else:
                self.assertNotIn(result["result"], ("0", "8700", "8720"))
            self.assertEqual("0", result["isProfileLoad"])
            self.assertEqual("T-KEPT", PLACE.profile()["Common.authTerminalID"])
            self.assertNotIn(PROFILE + ".new", PLACE.files())

    def test_a_connection_that_stalls_and_closes_gives_a_failure_and_keeps_the_profile(self):
        self.new_device(authTerminalID="T-KEPT")
        with RegistServer(stall_limit=3) as stalling:
            self.ini(RegistTerminalServerURL=stalling.base_url(), AllowPlainHTTP="1")
            # Headers announcing a whole profile, then nothing until the server gives up.
            stalling.answer("registTerminal", Reply(200, profile_document().encode("utf-8"), stall=True))
            result, _ = self.register("--flags", "0")
        self.assertEqual(("5241", "0"), (result["result"], result["isProfileLoad"]))
        self.assertEqual("T-KEPT", PLACE.profile()["Common.authTerminalID"])

    # --- cancel ----------------------------------------------------------------------------------
    def test_cancel_before_and_during_a_slow_exchange_ends_within_two_seconds(self):
        self.new_device(authTerminalID="T-STAYS")
        self.server.answer("registTerminal", Reply(200, profile_document(authTerminalID="T-LATE").encode("utf-8"),
                                                   head_delay=20))
        for after in ("0", "800"):
            start = time.monotonic()
            result, other = self.register("--flags", "0", "--cancel-after", after)
            self.assertEqual("18500", result["result"], other)
            self.assertLess(int(result["cancel_ms"]), CANCEL_LIMIT_MS)
            self.assertLess(int(result["elapsed_ms"]), int(after) + CANCEL_LIMIT_MS)
            self.assertEqual("T-STAYS", PLACE.profile()["Common.authTerminalID"])
            self.assertNotIn(PROFILE + ".new", PLACE.files())
            self.assertLess(time.monotonic() - start, 15)
        # The stalled body (headers sent, nothing more).
        self.server.answer("registTerminal", Reply(200, b"", stall=True, content_length=False))
        result, _ = self.register("--flags", "0", "--cancel-after", "800")
        self.assertEqual("18500", result["result"])
        self.assertLess(int(result["elapsed_ms"]), 800 + CANCEL_LIMIT_MS)


if __name__ == "__main__":
    unittest.main()
