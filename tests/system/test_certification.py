"""The certification family through the test client's certify command: device authentication
against values computed here with hashlib, the ordinary password's results, the failure notice to
the mock registration server, and the pattern exchange against the mock pattern server (the table,
the verification, its codes, cancel, malformed and stalled answers, the answer file, plain http
and what reaches the log)."""
import base64
import glob
import hashlib
import os
import time
import unittest

from registhelp import RegistPrefix
from mockhttp import Reply  # noqa: E402  (tests/servers is on the path through registhelp)
from patternserver import PatternServer, answer_document, VERIFIED
from registserver import RegistServer, profile_document
import winehelp

PLACE = RegistPrefix("wineprefix-certification")
SHARED_KEY = "shared-Key-77"          # the documented profile's terminalPwdSharedKey
CONNECT_PASSWORD = "c0nnect-Pw"       # and its connectPassword
CANCEL_LIMIT_MS = 2000
ANSWER_FILES = ("Temp.xml", "Temp.xml.part")


def setUpModule():
    PLACE.create()


def tearDownModule():
    PLACE.retire()


def masked(password):
    digest = hashlib.sha256(password.encode("utf-8")).hexdigest()
    return "(%d chars, sha256 %s)" % (len(password), digest)


def terminal_id_info(sid, serial):
    return base64.urlsafe_b64encode(hashlib.sha256((sid + serial).encode("utf-8")).digest()).decode("ascii")[:43]


def terminal_password(info, base):
    source = (info + SHARED_KEY + base).encode("utf-8")
    return base64.urlsafe_b64encode(hashlib.sha1(source).digest()).decode("ascii")[:15]


class CertificationCase(unittest.TestCase):
    def setUp(self):
        PLACE.reset_user()
        self.ini()

    def ini(self, **keys):
        PLACE.write_ini(**keys)

    def store_profile(self, **values):
        text = profile_document(**values)
        path = os.path.join(PLACE.install_dir(), "profile-source.xml")
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        code, _, _, err = PLACE.client("profile", "store", winehelp.windows_path(path, PLACE.prefix))
        self.assertEqual(0, code, err)

    def certify(self, index, nolvex_id, password, *options):
        code, values, other, err = PLACE.client("certify", str(index), nolvex_id, password, *options)
        self.assertEqual(0, code, err + "\n".join(other))
        return values

    def answer_files(self):
        return [name for name in PLACE.files() if name in ANSWER_FILES]


class DeviceAndOrdinaryTest(CertificationCase):
    def device(self):
        values = PLACE.client("osinfo")[1]
        return values["ComputerSID"], values["VolumeSerialNo"]

    def test_device_authentication_matches_an_independent_computation(self):
        self.store_profile(authTerminalFlag="1", authTerminalID="T-DEVICE-9")
        sid, volume = self.device()
        self.assertTrue(sid.startswith("S-1-5-21-"), sid)
        by_serial = {}
        for serial in ("BIOS-ONE-1", "BIOS-TWO-2"):
            v = self.certify(0, "user1", "Given-pw1", "--bios-serial", serial)
            self.assertEqual(("NolvexCertification", "0", "T-DEVICE-9"), (v["certification"], v["certinfo_result"], v["ID"]))
            info = terminal_id_info(sid, serial)
            self.assertEqual(43, len(info))
            by_serial[serial] = terminal_password(info, "Given-pw1")
            self.assertEqual(masked(by_serial[serial]), v["Password"], serial)
        self.assertNotEqual(by_serial["BIOS-ONE-1"], by_serial["BIOS-TWO-2"])
        # no BIOS serial: the volume's serial stands in
        v = self.certify(0, "user1", "Given-pw1", "--bios-serial", "")
        self.assertEqual(masked(terminal_password(terminal_id_info(sid, volume), "Given-pw1")), v["Password"])
        # another password type: the profile's connectPassword is the base
        self.store_profile(authTerminalFlag="1", remoteConnectPwType="1")
        v = self.certify(0, "user1", "Given-pw1", "--bios-serial", "BIOS-ONE-1")
        self.assertEqual("AssociatedCertification", v["certification"])
        self.assertEqual(masked(terminal_password(terminal_id_info(sid, "BIOS-ONE-1"), CONNECT_PASSWORD)), v["Password"])

    def test_ordinary_results_and_the_profile_that_decides_the_class(self):
        # no profile: the ordinary certification whatever the index
        v = self.certify(7, "user1", "pw-1")
        self.assertEqual(("NolvexCertification", "0", "user1", masked("pw-1")),
                         (v["certification"], v["certinfo_result"], v["ID"], v["Password"]))
        self.assertEqual("25001", self.certify(0, "", "pw-1")["certinfo.ErrCode"])
        self.assertEqual("25000", self.certify(0, "user1", "")["certinfo_result"])
        self.store_profile(remoteConnectPwType="1", connectPassword="")
        v = self.certify(0, "user1", "pw-1")
        self.assertEqual(("AssociatedCertification", "4002"), (v["certification"], v["certinfo_result"]))
        self.store_profile(remoteConnectPwType="7")
        self.assertEqual("none", self.certify(0, "user1", "pw-1")["certification"])
        self.store_profile(remoteConnectPwType="2", accessControlGWAddr="gw.example", accessControlPwType="0")
        self.assertEqual("none", self.certify(0, "user1", "pw-1")["certification"])


class FailureNoticeTest(CertificationCase):
    def test_a_failed_logon_reaches_notify_connect_err_and_fills_the_record(self):
        with RegistServer() as regist:
            self.ini(RegistTerminalServerURL=regist.base_url(), AllowPlainHTTP="1")
            self.store_profile()
            regist.answer_code("notifyConnectErr", "2203025")
            v = self.certify(0, "user1", "pw-1", "--connect-error")
            self.assertEqual(("0", "5230", "[2203025]", "1"), (v["errinfo_result"], v["ErrCode"], v["ErrMsg"], v["Publicher"]))
            forms = regist.forms("notifyConnectErr")
            self.assertEqual(1, len(forms))
            self.assertIn(("standardPassword", "pw-1"), forms[0])


    def test_a_cancel_during_the_failure_notice_ends_it_without_harm(self):
        with RegistServer(stall_limit=30.0) as regist:
            self.ini(RegistTerminalServerURL=regist.base_url(), AllowPlainHTTP="1")
            self.store_profile()
            regist.answer("notifyConnectErr", Reply(200, b"", stall=True))
            v = self.certify(0, "user1", "pw-1", "--connect-error", "--cancel-after", "1000")
            self.assertEqual("0", v["errinfo_result"])
            self.assertLess(int(v["cancel_ms"]), CANCEL_LIMIT_MS)
            self.assertLess(int(v["errinfo_ms"]), 1000 + CANCEL_LIMIT_MS)
            self.assertEqual(1, len(regist.forms("notifyConnectErr")))


class PatternCase(CertificationCase):
    def setUp(self):
        super().setUp()
        self.server = PatternServer(stall_limit=3.0).__enter__()
        self.addCleanup(self.server.stop)
        self.ini(AllowPlainHTTP="1")

    def pattern_profile(self, rand_url=None, cert_url=None, **values):
        self.store_profile(remoteConnectPwType="2",
                           patternAuthRandURL=self.server.rand_url() if rand_url is None else rand_url,
                           patternAuthURL=self.server.cert_url() if cert_url is None else cert_url, **values)

    def write_answer_file(self, body):
        os.makedirs(PLACE.app_data(), exist_ok=True)
        with open(PLACE.app_data("Temp.xml"), "wb") as f:
            f.write(body)


class PatternFlowTest(PatternCase):
    def test_the_table_and_the_verification(self):
        self.pattern_profile()
        self.server.answer_table("12", "34", "56")
        self.server.answer_verify(VERIFIED)
        v = self.certify(0, "a&b", "ordinary-1", "--pattern", "7392")
        self.assertEqual(("PaslogiCertification", "1", "0", "123456"), (v["certification"], v["panel"], v["panel.ErrCode"], v["Rand"]))
        self.assertEqual(("0", "0", "a&b", masked(CONNECT_PASSWORD)),
                         (v["onetime_result"], v["certinfo_result"], v["ID"], v["Password"]))
        raw = [r.path for r in self.server.received()]
        self.assertEqual(["/paslogi/rand/a%26b", "/paslogi/cert/uid=a%26b&pass=7392"], raw)
        self.assertEqual((["a&b"], [("a&b", "7392")]), (self.server.table_requests(), self.server.verify_requests()))
        self.assertEqual([], self.answer_files())

    def test_an_empty_table_address_asks_for_a_password_without_network(self):
        self.pattern_profile(rand_url="")
        v = self.certify(0, "user1", "ordinary-1")
        self.assertEqual(("2", "0", ""), (v["panel"], v["panel.ErrCode"], v["Rand"]))
        self.assertEqual([], self.server.received())

    def test_the_base_address_gives_the_same_requests_with_or_without_its_slash(self):
        self.server.answer_table("1", "2", "3")
        self.server.answer_verify(VERIFIED)
        for slash in (True, False):
            self.pattern_profile(rand_url=self.server.rand_url(slash), cert_url=self.server.cert_url(slash))
            self.certify(0, "user1", "x", "--pattern", "55")
        paths = [r.path for r in self.server.received()]
        self.assertEqual(2 * ["/paslogi/rand/user1", "/paslogi/cert/uid=user1&pass=55"], paths)

    def test_server_codes_become_message_ids_and_a_local_failure_report(self):
        self.pattern_profile()
        self.server.answer_table("1", "2", "3")
        for code, expected in ((21040114, "5112"), (0, "5114"), (12345, "5113"), (21040111, "5001")):
            self.server.answer_verify(code)
            v = self.certify(0, "user1", "x", "--pattern", "9", "--report")
            self.assertEqual(expected, v["onetime_result"], code)
            # the pattern was never verified: the failure is reported locally, not to a server
            self.assertEqual((expected, "[%d]" % code, "0"), (v["ErrCode"], v["ErrMsg"], v["Publicher"]), code)
        self.assertEqual([], self.answer_files())
        # the table request's own codes
        self.server.table_reply(Reply(200, answer_document(21030116)))
        v = self.certify(0, "user1", "x")
        self.assertEqual(("255", "5112", "[21030116]"), (v["panel"], v["panel.ErrCode"], v["panel.ErrMsg"]))
        # success code but no table
        self.server.table_reply(Reply(200, answer_document(21030101)))
        v = self.certify(0, "user1", "x")
        self.assertEqual(("255", "5113", ""), (v["panel"], v["panel.ErrCode"], v["Rand"]))

    def test_a_cancel_during_the_table_download_ends_fast_and_leaves_no_file(self):
        self.pattern_profile()
        self.server.table_reply(Reply(200, answer_document(21030101, data=("1", "2", "3")), stall=True))
        v = self.certify(0, "user1", "x", "--cancel-after", "800")
        self.assertEqual(("2", "3045"), (v["panel"], v["panel.ErrCode"]))
        self.assertLess(int(v["cancel_ms"]), CANCEL_LIMIT_MS)
        self.assertLess(int(v["panel_ms"]), 800 + CANCEL_LIMIT_MS)
        self.assertEqual([], self.answer_files())


class PatternAnswerFaultsTest(PatternCase):
    def test_garbage_truncated_and_stalled_answers_fail_cleanly(self):
        self.pattern_profile()
        doc = answer_document(21030101, data=("11", "22", "33"))
        cases = [
            ("garbage", Reply(200, b"\x00\xffnot xml at all<<<"), ("255", "5114")),
            ("truncated", Reply(200, doc, drop_after=40), ("2", "8552")),
            ("cut without length", Reply(200, doc, drop_after=40, content_length=False), ("255", "5114")),
            ("stalled", Reply(200, doc, stall=True), ("2", "8552")),
            ("server error", Reply(500, b"down"), ("2", "8552")),
        ]
        for name, reply, expected in cases:
            self.server.table_reply(reply)
            v = self.certify(0, "user1", "x")
            self.assertEqual(expected, (v["panel"], v["panel.ErrCode"]), name)
            self.assertEqual("", v["Rand"], name)
            self.assertEqual([], self.answer_files(), name)

    def test_a_stale_answer_file_is_never_acted_on(self):
        self.pattern_profile()
        # a verified answer left behind by a crash; the server now refuses the pattern
        self.write_answer_file(answer_document(VERIFIED))
        self.server.answer_verify(21040111)
        v = self.certify(0, "user1", "x", "--pattern", "1")
        self.assertEqual("5001", v["onetime_result"])
        self.assertEqual([], self.answer_files())
        # a table left behind; the server does not answer
        self.write_answer_file(answer_document(21030101, data=("9", "9", "9")))
        self.server.table_reply(Reply(503, b"busy"))
        v = self.certify(0, "user1", "x")
        self.assertEqual(("2", "8552", ""), (v["panel"], v["panel.ErrCode"], v["Rand"]))
        self.assertEqual([], self.answer_files())


class PatternSecrecyTest(PatternCase):
    def log_text(self):
        text = ""
        for path in glob.glob(PLACE.app_data("Logs", "NolvexConnectLog_*.dat")):
            with open(path, "rb") as f:
                data = f.read()
            text += data[: len(data) // 2 * 2].decode("utf-16-le", "replace")
        return text

    def test_plain_http_is_refused_unless_allowed(self):
        self.ini()
        self.pattern_profile()
        v = self.certify(0, "user1", "x")
        self.assertEqual(("255", "4002"), (v["panel"], v["panel.ErrCode"]))
        self.pattern_profile(rand_url="")
        v = self.certify(0, "user1", "x", "--pattern", "4")
        self.assertEqual(("2", "4002"), (v["panel"], v["onetime_result"]))
        self.assertEqual([], self.server.received())

    def test_with_log_level_1_no_password_or_pattern_reaches_the_log(self):
        self.pattern_profile(connectPassword="ConnSecret31")
        self.server.answer_table("12", "34", "56")
        self.server.answer_verify(VERIFIED)
        v = self.certify(0, "user1", "OrdSecret77", "--pattern", "PatSecret9042", "--log-level", "1")
        self.assertEqual("0", v["onetime_result"])
        log = self.log_text()
        self.assertIn("[InputInfo] verification URL", log)   # the debug lines were written
        for secret in ("OrdSecret77", "PatSecret9042", "ConnSecret31"):
            self.assertNotIn(secret, log)
        self.assertEqual([("user1", "PatSecret9042")], self.server.verify_requests())


if __name__ == "__main__":
    unittest.main()
