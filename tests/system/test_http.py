"""The HTTP adapter against the mock servers, through the test client's http command: request
details, results and statuses, cancel on slow and stalled servers, attachments, decoding, the size
cap, HTTPS with the test CA, passwords kept out of the log, and no thread or memory left behind."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import uuid

from winehelp import BIN_DIR, SOURCE_DIR, Prefix, windows_path
import ncclient

sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "servers"))
from mockhttp import MockServer, Reply  # noqa: E402
from testca import TestCA  # noqa: E402

ROOTSTORE = os.path.join(BIN_DIR, "rootstore.exe")
# The adapter's cap on a text answer (ResponseBody::MAX_TEXT_BYTES).
TEXT_CAP = 8 * 1024 * 1024
READ_BLOCK = 4096
CANCEL_LIMIT_MS = 2000


def parse(out):
    """The client's "key=value" lines as a dict (the body is the text after "body=")."""
    values = {}
    for line in out.split("\r\n"):
        key, sep, value = line.partition("=")
        if sep and key not in values:
            values[key] = value
    return values


def numbers(text):
    return [int(v) for v in text.split(",") if v]


# Longer than any program start under Wine, shorter than the adapter's 50-second time-outs.
HOLD_ON_S = 40


class HttpCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("wineprefix-http")
        cls.prefix.create(fresh=False)
        cls.server = MockServer(stall_limit=4).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.prefix.retire()

    def setUp(self):
        self.server.requests.clear()

    def http(self, *args, timeout=120):
        code, out, err = ncclient.run(self.prefix, "http", *args, timeout=timeout)
        return code, parse(out), out

    def folder(self):
        path = self.prefix.drive_c("http-test", uuid.uuid4().hex[:8])
        os.makedirs(path)
        self.addCleanup(shutil.rmtree, path, True)
        return path


class RequestDetailsTest(HttpCase):
    def test_empty_url_is_refused_without_network_activity(self):
        code, out, _ = self.http("GET", "")
        self.assertEqual((3, "8551"), (code, out["result"]))
        self.assertEqual([], self.server.received())

    def test_ftp_scheme_is_refused(self):
        code, out, _ = self.http("GET", "ftp://127.0.0.1:%d/file" % self.server.port)
        self.assertEqual((3, "8552"), (code, out["result"]))
        self.assertEqual([], self.server.received())

    def test_lower_case_method_is_sent_as_get_and_data_becomes_the_query(self):
        self.server.script("/q", Reply(200, b"ok"))
        code, out, _ = self.http("get", self.server.url("/q"), "--data", "a=1&b=2")
        self.assertEqual((0, "0", "ok"), (code, out["result"], out["body"]))
        request = self.server.received()[0]
        self.assertEqual(("GET", "/q?a=1&b=2"), (request.method, request.path))
        self.assertEqual("NolvexConnect1.0.0.0", request.header("User-Agent"))
        self.assertEqual("Application/binary", request.header("Accept"))

    def test_get_without_data_sends_the_bare_path(self):
        self.server.script("/bare", Reply(200, b"x"))
        self.http("GET", self.server.url("/bare"))
        self.assertEqual("/bare", self.server.received()[0].path)

    def test_other_method_posts_the_utf8_form_body_with_its_byte_length(self):
        self.server.script("/post", Reply(200, b"done"))
        code, out, _ = self.http("PUT", self.server.url("/post"), "--data", "name=\u00e9t\u00e9&x=1")
        self.assertEqual(0, code)
        request = self.server.received()[0]
        self.assertEqual("POST", request.method)
        self.assertEqual("name=\u00e9t\u00e9&x=1".encode("utf-8"), request.body)
        self.assertEqual(str(len(request.body)), request.header("Content-Length"))
        self.assertEqual("application/x-www-form-urlencoded", request.header("Content-Type"))

    def test_empty_answer_gives_empty_text_and_status_five_before_the_end(self):
        self.server.script("/empty", Reply(200, b""))
        code, out, _ = self.http("GET", self.server.url("/empty"))
        self.assertEqual((0, "0", "0", "", "0"), (code, out["result"], out["length"], out["body"], out["buffer"]))
        history = numbers(out["history"])
        self.assertEqual([5, -1], history[-2:])
        self.assertEqual(-1, numbers(out["seen"])[-1])

    def test_not_found_gives_8552_with_the_http_status_and_no_body(self):
        self.server.script("/missing", Reply(404, b"not here"))
        code, out, _ = self.http("GET", self.server.url("/missing"))
        self.assertEqual((3, "8552", "404", "", "0"), (code, out["result"], out["http_status"], out["body"], out["length"]))

    def test_server_credentials_answer_a_challenge(self):
        self.server.script("/auth", Reply(401, b"", headers={"WWW-Authenticate": 'Basic realm="t"'}))
        self.http("GET", self.server.url("/auth"), "--user", "bob", "--password", "pw1")
        sent = [r.header("Authorization") for r in self.server.received()]
        self.assertIn("Basic Ym9iOnB3MQ==", sent)   # bob:pw1

    def test_dropped_connection_is_an_error(self):
        self.server.script("/drop", Reply(200, b"y" * 50000, drop_after=1000))
        code, out, _ = self.http("GET", self.server.url("/drop"))
        self.assertEqual((3, "8552", "", "0"), (code, out["result"], out["body"], out["buffer"]))

    def test_attachment_cut_short_leaves_no_file(self):
        self.server.script("/dropdl", Reply(200, b"z" * 50000, drop_after=2000,
                                            headers={"Content-Disposition": "attachment; filename=cut.zip"}))
        folder = self.folder()
        code, out, _ = self.http("GET", self.server.url("/dropdl"), "--folder", windows_path(folder, self.prefix) + "\\")
        self.assertEqual((3, "8552", ""), (code, out["result"], out["file"]))
        self.assertEqual([], os.listdir(folder))


class ProxyTest(HttpCase):
    """The proxy flag: 1 takes the platform's default proxy (Wine reads it from http_proxy), 0 none."""

    # Nothing listens on the discard port of the loopback address: a direct attempt fails.
    TARGET = "http://127.0.0.1:9/target"

    def via_proxy(self, *args):
        env = dict(ncclient.UTF8_LOCALE, http_proxy="http://127.0.0.1:%d" % self.server.port)
        result = self.prefix.wine(os.path.join(BIN_DIR, "NolvexConnect.exe"), "http", "GET", self.TARGET, *args,
                                  env_extra=env)
        return result.returncode, parse(result.stdout.decode("utf-8", "replace"))

    def test_default_proxy_carries_the_request_and_gets_the_proxy_credentials(self):
        self.server.script("/target", Reply(407, b"", headers={"Proxy-Authenticate": 'Basic realm="p"'}))
        code, out = self.via_proxy("--proxy", "default", "--proxy-user", "px", "--proxy-password", "pp")
        self.assertEqual((3, "407"), (code, out["http_status"]))
        sent = [r.header("Proxy-Authorization") for r in self.server.received()]
        self.assertIn("Basic cHg6cHA=", sent)   # px:pp, set on the request handle

    def test_no_proxy_goes_direct(self):
        self.server.script("/target", Reply(200, b"from the proxy"))
        code, out = self.via_proxy("--proxy", "none")
        self.assertEqual((3, "8552", "0"), (code, out["result"], out["http_status"]))
        self.assertEqual([], self.server.received())


class BodyTest(HttpCase):
    def test_character_split_across_a_block_edge_decodes_whole(self):
        # "\u20ac" takes three bytes; the first block ends inside it.
        body = ("a" * (READ_BLOCK - 1) + "\u20ac" + "b" * 10 + "\u3042").encode("utf-8")
        self.server.script("/utf8", Reply(200, body, chunked=True, chunk_size=READ_BLOCK, chunk_delay=0.05))
        code, out, _ = self.http("GET", self.server.url("/utf8"))
        self.assertEqual(0, code)
        self.assertEqual(body.decode("utf-8"), out["body"])
        self.assertEqual(str(len(body)), out["length"])
        self.assertEqual(str(len(body)), out["content_length"])   # chunked: no header, the length read

    def test_answer_above_the_cap_is_an_error(self):
        self.server.script("/huge", Reply(200, b"z" * (TEXT_CAP + 1), chunked=True, chunk_size=1 << 20))
        code, out, _ = self.http("GET", self.server.url("/huge"), "--body", "0")
        self.assertEqual((3, "8552", "0"), (code, out["result"], out["buffer"]))

    def test_answer_at_the_cap_is_kept(self):
        self.server.script("/cap", Reply(200, b"z" * TEXT_CAP))
        code, out, _ = self.http("GET", self.server.url("/cap"), "--body", "0")
        self.assertEqual((0, str(TEXT_CAP), str(TEXT_CAP)), (code, out["length"], out["text_chars"]))


class CancelTest(HttpCase):
    def assert_canceled_in_time(self, out):
        self.assertEqual("18500", out["result"])
        seen = numbers(out["seen"])
        self.assertEqual([10, 10], seen[-2:])   # the end, and a wait after it
        self.assertLess(int(out["cancel_to_end_ms"]), CANCEL_LIMIT_MS)

    def test_cancel_during_a_slow_transfer(self):
        self.server.script("/slow", Reply(200, b"s" * 200000, chunk_size=2000, chunk_delay=0.3))
        code, out, _ = self.http("GET", self.server.url("/slow"), "--cancel-after", "700")
        self.assertEqual(3, code)
        self.assert_canceled_in_time(out)

    def test_cancel_while_the_server_stalls(self):
        self.server.script("/stall", Reply(200, b"", stall=True, content_length=False))
        code, out, _ = self.http("GET", self.server.url("/stall"), "--cancel-after", "500")
        self.assertEqual(3, code)
        self.assert_canceled_in_time(out)

    def test_cancel_on_a_server_that_holds_on_does_not_hold_the_program(self):
        # The program deletes its adapter after the cancel: that waits for the worker, which must
        # have ended although this server would hold the body back for a minute.
        with MockServer(stall_limit=HOLD_ON_S) as server:
            server.script("/stall", Reply(200, b"", stall=True, content_length=False))
            started = time.monotonic()
            code, out, _ = self.http("GET", server.url("/stall"), "--cancel-after", "500")
            elapsed = time.monotonic() - started
        self.assertEqual(3, code)
        self.assert_canceled_in_time(out)
        self.assertLess(elapsed, HOLD_ON_S / 2)

    def test_cancel_before_the_answer_comes(self):
        self.server.script("/late", Reply(200, b"late", head_delay=3))
        code, out, _ = self.http("GET", self.server.url("/late"), "--cancel-after", "300")
        self.assert_canceled_in_time(out)


class AttachmentTest(HttpCase):
    def script_attachment(self, path, disposition, body=b"PK\x03\x04 archive bytes"):
        self.server.script(path, Reply(200, body, headers={"Content-Disposition": disposition}))
        return body

    def test_quoted_name_is_written_under_the_folder(self):
        body = self.script_attachment("/dl", 'attachment; filename="update 1.zip"')
        folder = self.folder()
        code, out, _ = self.http("GET", self.server.url("/dl"), "--folder", windows_path(folder, self.prefix) + "\\")
        self.assertEqual((0, "0"), (code, out["result"]))
        with open(os.path.join(folder, "update 1.zip"), "rb") as f:
            self.assertEqual(body, f.read())
        self.assertTrue(out["file"].endswith("\\update 1.zip"))
        self.assertEqual(str(len(body)), out["length"])
        self.assertEqual(["update 1.zip"], os.listdir(folder))   # no part file left

    def test_folder_without_backslash_gets_one(self):
        self.script_attachment("/dl2", "attachment; filename=plain.bin")
        folder = self.folder()
        self.http("GET", self.server.url("/dl2"), "--folder", windows_path(folder, self.prefix))
        self.assertEqual(["plain.bin"], os.listdir(folder))

    def test_names_that_leave_the_folder_are_refused_and_write_nothing(self):
        drive_c = self.prefix.drive_c()
        for name in ("..\\evil.dat", "C:\\evil.dat", "a:b", "sub/evil.dat", "..", ""):
            with self.subTest(name=name):
                self.script_attachment("/evil", 'attachment; filename="%s"' % name)
                folder = self.folder()
                code, out, _ = self.http("GET", self.server.url("/evil"), "--folder", windows_path(folder, self.prefix) + "\\")
                self.assertEqual((3, "8554"), (code, out["result"]))
                self.assertEqual([], os.listdir(folder))
                self.assertEqual([], glob.glob(os.path.join(drive_c, "**", "evil.dat"), recursive=True))
                self.assertEqual([], glob.glob(os.path.join(os.path.dirname(folder), "*evil*")))

    def test_answer_without_attachment_header_is_kept_in_memory(self):
        self.server.script("/plain", Reply(200, b"just text"))
        folder = self.folder()
        code, out, _ = self.http("GET", self.server.url("/plain"), "--folder", windows_path(folder, self.prefix) + "\\")
        self.assertEqual((0, "0", "just text", ""), (code, out["result"], out["body"], out["file"]))
        self.assertEqual([], os.listdir(folder))

    def test_disposition_without_attachment_writes_nothing(self):
        self.script_attachment("/inline", 'inline; filename="x.bin"')
        folder = self.folder()
        code, out, _ = self.http("GET", self.server.url("/inline"), "--folder", windows_path(folder, self.prefix) + "\\")
        self.assertEqual((0, ""), (code, out["file"]))
        self.assertEqual([], os.listdir(folder))


class SecretsInLogTest(HttpCase):
    def log_text(self):
        pattern = self.prefix.drive_c("users", "*", "AppData", "Roaming", "NolvexConnect", "Logs", "NolvexConnectLog_*.dat")
        text = ""
        for path in glob.glob(pattern):
            with open(path, "rb") as f:
                data = f.read()
            text += data[: len(data) // 2 * 2].decode("utf-16-le", "replace")
        return text

    def test_no_password_reaches_the_debug_log(self):
        self.server.script("/regist", Reply(200, b"ok"))
        self.server.script("/cert/uid=u1&pass=PatternSecret9", Reply(200, b"ok"))
        self.http("POST", self.server.url("/regist"), "--log-level", "1",
                  "--data", "id=u1&standardPassword=StdSecret1&connectPassword=ConnSecret2&pass=PassSecret3",
                  "--user", "bob", "--password", "ServerSecret4",
                  "--proxy-user", "px", "--proxy-password", "ProxySecret5")
        self.http("GET", self.server.url("/cert/uid=u1&pass=PatternSecret9"), "--log-level", "1")
        log = self.log_text()
        self.assertIn("[InputInfo] URL[", log)   # the debug lines were written
        self.assertIn("*****", log)
        for secret in ("StdSecret1", "ConnSecret2", "PassSecret3", "ServerSecret4", "ProxySecret5", "PatternSecret9"):
            self.assertNotIn(secret, log)
        # what the server received is intact
        self.assertIn(b"standardPassword=StdSecret1", self.server.received()[0].body)


class HttpsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("wineprefix-https")
        cls.prefix.create(fresh=False)
        cls.folder = tempfile.mkdtemp(prefix="nolvex-ca-")
        cls.ca = TestCA(cls.folder)
        result = cls.prefix.wine(ROOTSTORE, "add", cls.ca.der_path())
        assert result.returncode == 0, result.stderr

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, True)
        cls.prefix.retire()

    def test_server_signed_by_the_test_ca_is_trusted(self):
        with MockServer(tls=self.ca.issue("trusted")) as server:
            server.script("/s", Reply(200, b"secure answer"))
            code, out, _ = ncclient.run(self.prefix, "http", "GET", server.url("/s"))
            self.assertEqual((0, "secure answer"), (code, parse(out)["body"]))

    def test_certificate_not_signed_by_a_trusted_ca_fails(self):
        with MockServer(tls=TestCA.self_signed(self.folder, "rogue")) as server:
            server.script("/s", Reply(200, b"must not arrive"))
            code, out, _ = ncclient.run(self.prefix, "http", "GET", server.url("/s"))
            values = parse(out)
            self.assertEqual((3, "8552", ""), (code, values["result"], values["body"]))
            self.assertEqual([], server.received())


class LeakTest(HttpCase):
    """200 requests in a row, the client process looked at in /proc after 20 and after 200."""

    REQUESTS = 200
    FIRST_LOOK = 20
    MAX_GROWTH_KB = 3072
    # The adapter's worker and WinHTTP's own work run on thread pools, which start and retire
    # threads as they see fit: either look may find a pool thread more or fewer. A leak of one
    # thread per request shows as 180 more.
    POOL_THREAD_SLACK = 2

    def unix_process(self, marker):
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    if marker.encode() in f.read():
                        return int(entry)
            except OSError:
                continue
        return None

    def proc_status(self, pid):
        values = {}
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                key, _, value = line.partition(":")
                values[key] = value.split()[0] if value.split() else ""
        return int(values["Threads"]), int(values["VmRSS"])

    def run_and_measure(self, *extra):
        marker = "/leak-" + uuid.uuid4().hex
        self.server.script(marker, Reply(200, b"r" * 3000))
        argv = self.prefix.argv(os.path.join(BIN_DIR, "NolvexConnect.exe"), "http", "GET", self.server.url(marker),
                                "--repeat", str(self.REQUESTS), "--pause-at", str(self.FIRST_LOOK),
                                "--pause-at", str(self.REQUESTS), "--body", "0", *extra)
        process = subprocess.Popen(argv, env=dict(self.prefix.env, **ncclient.UTF8_LOCALE), stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            looks = []
            for _ in range(2):
                line = process.stdout.readline().decode().strip()
                self.assertTrue(line.startswith("paused="), line)
                pid = self.unix_process(marker)
                self.assertIsNotNone(pid)
                looks.append(self.proc_status(pid))
                process.stdin.write(b"\n")
                process.stdin.flush()
            rest = process.communicate(timeout=120)[0].decode()
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
        self.assertIn("all_ok=1", rest)
        self.assertEqual(self.REQUESTS, len(self.server.received()))
        return looks

    def test_two_hundred_requests_leave_no_thread_and_no_memory_behind(self):
        (threads1, rss1), (threads2, rss2) = self.run_and_measure()
        self.assertLessEqual(threads2 - threads1, self.POOL_THREAD_SLACK)
        self.assertLess(rss2 - rss1, self.MAX_GROWTH_KB)

    def test_the_check_catches_a_deliberate_leak(self):
        (threads1, rss1), (threads2, rss2) = self.run_and_measure("--leak-bytes", "65536", "--leak-thread", "1")
        self.assertGreater(threads2 - threads1, self.POOL_THREAD_SLACK)
        self.assertGreaterEqual(rss2 - rss1, self.MAX_GROWTH_KB)


if __name__ == "__main__":
    unittest.main()
