"""A scripted registration server for the tests, on top of mockhttp.MockServer.

It answers the three operations of the client below one base address:

    with RegistServer() as server:
        server.answer_profile(authTerminalServerURL=other.base_url())   # "registTerminal"
        server.answer_code("notifyConnectErr", "2203025")
        server.offer_update(folder, password)                             # "updateClient": a .dat
        ... run the client against server.base_url() ...
        server.forms("registTerminal")    # every form body received, as ordered (key, value) pairs

Profiles are built from the documented profile document (tests/unit/auth/TerminalRegist-sample.xml)
with values replaced; update archives are ZIP files made with Debian's 7-Zip ("7z", ZipCrypto,
the password the client derives) from a folder, renamed ".dat".
"""
import os
import re
import shutil
import subprocess
import tempfile
import urllib.parse

from mockhttp import MockServer, Reply

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAMPLE = os.path.join(SOURCE_DIR, "tests", "unit", "auth", "TerminalRegist-sample.xml")
OPERATIONS = ("registTerminal", "notifyConnectErr", "updateClient")
BASE_PATH = "/regist/"
NO_UPDATE = "diffExistFlag=0"
ARCHIVE_PASSWORD_PREFIX = "NolvexConnect-"


def archive_password(update_module_number):
    """The password the client uses for the archive announced with that module number."""
    return ARCHIVE_PASSWORD_PREFIX + update_module_number


def profile_document(**values):
    """The documented profile with the named elements' values replaced (first occurrence each).
    Keys are element names (authTerminalID, authTerminalServerURL, execConfirm, updateExecFlag,
    updateModuleNumber, category, infocode, remoteConnectPwType, ...)."""
    with open(SAMPLE, encoding="utf-8", newline="") as f:
        text = f.read()
    for name, value in values.items():
        text, count = re.subn(r"(<%s>)[^<]*(</%s>)" % (name, name), lambda m: m.group(1) + value + m.group(2),
                              text, count=1)
        if count != 1:
            raise KeyError("the profile document has no element %s" % name)
    return text


def make_archive(source_folder, target_file, password):
    """A ZipCrypto archive of the folder's content (paths relative to it), made with 7z."""
    if os.path.exists(target_file):
        os.remove(target_file)
    zip_path = target_file + ".zip"
    if os.path.exists(zip_path):
        os.remove(zip_path)
    cmd = ["7z", "a", "-tzip", "-mem=ZipCrypto", "-p" + password, zip_path, "."]
    res = subprocess.run(cmd, cwd=source_folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if res.returncode != 0:
        raise RuntimeError("7z failed: %s" % res.stderr.decode("utf-8", "replace"))
    os.replace(zip_path, target_file)
    return target_file


class RegistServer:
    def __init__(self, tls=None, stall_limit=60.0):
        self.http = MockServer(tls=tls, stall_limit=stall_limit)
        self._work = tempfile.mkdtemp(prefix="registserver-")

    def __enter__(self):
        self.http.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        self.http.stop()
        shutil.rmtree(self._work, ignore_errors=True)

    def base_url(self):
        return self.http.url(BASE_PATH)

    def answer(self, operation, reply):
        """Any scripted reply (mockhttp.Reply) for the operation."""
        self.http.script(BASE_PATH + operation, reply)

    def answer_text(self, operation, text, **reply_options):
        self.answer(operation, Reply(200, text.encode("utf-8"), headers={"Content-Type": "text/plain; charset=UTF-8"},
                                     **reply_options))

    def answer_profile(self, operation="registTerminal", **values):
        self.answer_text(operation, profile_document(**values))

    def answer_code(self, operation, code):
        self.answer_text(operation, code)

    def no_update(self):
        self.answer_text("updateClient", NO_UPDATE)

    def offer_update(self, folder, password, name="update_1207.dat", **reply_options):
        """The folder packed as an attachment of that name (made now); returns the archive's size."""
        data = self.attachment_bytes(folder, password)
        self.offer_attachment(data, name, **reply_options)
        return len(data)

    def attachment_bytes(self, folder, password):
        target = os.path.join(self._work, "update.dat")
        make_archive(folder, target, password)
        with open(target, "rb") as f:
            return f.read()

    def offer_attachment(self, data, name, **reply_options):
        headers = {"Content-Type": "application/octet-stream",
                   "Content-Disposition": 'attachment; filename="%s"' % name}
        self.answer("updateClient", Reply(200, data, headers=headers, **reply_options))

    def requests(self, operation):
        return [r for r in self.http.received() if r.path.split("?", 1)[0] == BASE_PATH + operation]

    def forms(self, operation):
        """Every form body of the operation, as ordered lists of (key, value), values decoded."""
        return [parse_form(r.body) for r in self.requests(operation)]


def parse_form(body):
    """The form body as ordered (key, value) pairs; raises ValueError on a malformed pair."""
    text = body.decode("ascii")   # the client encodes every value: only ASCII travels
    pairs = []
    for part in text.split("&"):
        key, sep, value = part.partition("=")
        if not sep:
            raise ValueError("pair without '=': %r" % part)
        pairs.append((key, urllib.parse.unquote_plus(value, encoding="utf-8", errors="strict")))
    return pairs
