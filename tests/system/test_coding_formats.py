"""The coders' formats against independent tools: AES files against OpenSSL (aes-256-cfb8 with the
CryptoAPI key expansion), digests and Base64 against Python's hashlib and base64, URL coding
against urllib, and archive extraction through ZIPCoding and the 7-zip32.dll stand-in against
archives made by Debian's 7-Zip and by Python's zipfile."""
import base64
import glob
import hashlib
import os
import re
import shutil
import subprocess
import unittest
import urllib.parse
import zipfile

import winehelp

PREFIX = winehelp.Prefix("wineprefix-coding")
CODETOOL = os.path.join(winehelp.BIN_DIR, "codetool.exe")
LOG_KEY = "Lr7QvN2xKp4Tb"
BASE64_ALPHABET = set("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
_keeper = None


def setUpModule():
    global _keeper
    PREFIX.create(fresh=False)
    # One process at a time until the prefix is up: two starting together on a cold prefix can
    # hang. The synchronous call boots it; the sleeper then keeps it warm between the calls.
    PREFIX.wine("cmd", "/c", "exit", timeout=300)
    _keeper = PREFIX.start_sleeper(winehelp.SLEEPER, 1800)


def tearDownModule():
    PREFIX.retire()
    if _keeper is not None:
        _keeper.wait(timeout=30)


def cryptoapi_aes_key(key_text):
    """The 32 key bytes CryptDeriveKey(CALG_AES_256) makes from the MD5 hash of the key text:
    the hash, padded with zeros to 64 bytes, is XORed with 0x36 and with 0x5C; the key is the
    MD5 of the first followed by the MD5 of the second."""
    digest = hashlib.md5(key_text.encode("ascii")).digest().ljust(64, b"\0")
    inner = hashlib.md5(bytes(b ^ 0x36 for b in digest)).digest()
    outer = hashlib.md5(bytes(b ^ 0x5C for b in digest)).digest()
    return (inner + outer)[:32]


# The fixed initialisation vector of the AES coders (docs/coding.md).
AES_IV = bytes((0xA5 ^ (i * 37 + 11)) & 0xFF for i in range(16))


def pkcs5_pad(data):
    n = 16 - len(data) % 16
    return data + bytes([n]) * n


def pkcs5_unpad(data):
    n = data[-1]
    if not 1 <= n <= 16 or data[-n:] != bytes([n]) * n:
        raise ValueError("bad padding")
    return data[:-n]


def openssl_cfb8(data, key_text, decrypt):
    args = ["openssl", "enc", "-aes-256-cfb8", "-K", cryptoapi_aes_key(key_text).hex(),
            "-iv", AES_IV.hex()]
    if decrypt:
        args.insert(2, "-d")
    return subprocess.run(args, input=data, capture_output=True, check=True).stdout


def trace_log_lines():
    """Lines of the trace logs that programs other than the service write in the user's folder."""
    lines = []
    pattern = PREFIX.drive_c("users", "*", "AppData", "Roaming", "NolvexConnect", "Logs", "NolvexConnectLog_*.dat")
    for path in glob.glob(pattern):
        with open(path, "rb") as f:
            data = f.read()
        lines.extend(data[: len(data) // 2 * 2].decode("utf-16-le", "replace").split("\r\n"))
    return lines


def sample(size, seed=1):
    return bytes((i * 31 + seed * 17 + (i >> 3)) & 0xFF for i in range(size))


class CodingCase(unittest.TestCase):
    """Runs codetool in the prefix on files below C:\\coding-test."""

    def setUp(self):
        self.root = PREFIX.drive_c("coding-test", self.id().rsplit(".", 1)[-1])
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.root)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def win(self, unix_path):
        return winehelp.windows_path(unix_path, PREFIX)

    def codetool(self, *args, exe=CODETOOL):
        return PREFIX.wine(exe, *args)

    def code(self, direction, code_type, key, data):
        with open(self.path("in.bin"), "wb") as f:
            f.write(data)
        out = self.path("out.bin")
        if os.path.exists(out):
            os.remove(out)
        r = self.codetool(direction, str(code_type), key, self.win(self.path("in.bin")), self.win(out))
        if r.returncode != 0:
            return None
        with open(out, "rb") as f:
            return f.read()


class AesAgainstOpenSsl(CodingCase):
    SIZES = (0, 1, 15, 16, 17, 100, 4097)
    KEYS = (LOG_KEY, "k", "a much longer key text than sixteen bytes 0123456789")

    def test_program_cipher_decrypts_with_openssl(self):
        for key in self.KEYS:
            for size in self.SIZES:
                with self.subTest(key=key, size=size):
                    plain = sample(size)
                    cipher = self.code("encode", 0, key, plain)
                    self.assertIsNotNone(cipher)
                    self.assertEqual((size // 16 + 1) * 16, len(cipher))
                    self.assertEqual(plain, pkcs5_unpad(openssl_cfb8(cipher, key, decrypt=True)))

    def test_openssl_cipher_decodes_with_program(self):
        for size in self.SIZES:
            with self.subTest(size=size):
                plain = sample(size, seed=2)
                cipher = openssl_cfb8(pkcs5_pad(plain), LOG_KEY, decrypt=False)
                self.assertEqual(plain, self.code("decode", 0, LOG_KEY, cipher))

    def test_random_key_encrypts_openssl_readable_files(self):
        r1 = self.codetool("randkey", "32")
        r2 = self.codetool("randkey", "32")
        self.assertEqual(0, r1.returncode)
        key1 = r1.stdout.decode().strip()
        key2 = r2.stdout.decode().strip()
        self.assertEqual(32, len(key1))
        self.assertTrue(set(key1) <= BASE64_ALPHABET, key1)
        self.assertNotEqual(key1, key2)
        plain = "<UserSetting>\r".encode("utf-16-le")
        cipher = self.code("encode", 0, key1, plain)
        self.assertEqual(plain, pkcs5_unpad(openssl_cfb8(cipher, key1, decrypt=True)))

    def test_string_aes_is_one_line_of_base64_of_the_cipher(self):
        plain = "user0001".encode("utf-16-le")
        text = self.code("encode", 8, LOG_KEY, plain).decode("utf-16-le")
        self.assertRegex(text, r"^[A-Za-z0-9+/]+=*$")
        cipher = base64.b64decode(text)
        self.assertEqual(plain, pkcs5_unpad(openssl_cfb8(cipher, LOG_KEY, decrypt=True)))
        self.assertEqual(plain, self.code("decode", 8, LOG_KEY, text.encode("utf-16-le")))

    def test_foreign_or_cut_cipher_is_refused(self):
        cipher = self.code("encode", 0, LOG_KEY, sample(40))
        self.assertIsNone(self.code("decode", 0, LOG_KEY, cipher[:-1]))
        self.assertIsNone(self.code("decode", 0, LOG_KEY, b""))
        decoded = self.code("decode", 0, "wrong key", cipher)
        self.assertNotEqual(sample(40), decoded)


class DigestsAndTexts(CodingCase):
    def test_digests_match_hashlib(self):
        data = sample(10000, seed=3)
        for code_type, name in ((3, "md5"), (5, "sha1"), (6, "sha256")):
            with self.subTest(name=name):
                hex_text = self.code("encode", code_type, "", data).decode("utf-16-le")
                self.assertEqual(hashlib.new(name, data).hexdigest(), hex_text)

    def test_base64_matches_python_in_both_alphabets(self):
        data = sample(1000, seed=4) + b"\xfb\xff"
        units = b"".join(bytes([b, 0]) for b in data)
        std = self.code("encode", 1, "", units).decode("utf-16-le")
        url = self.code("encode", 7, "", units).decode("utf-16-le")
        self.assertEqual(base64.b64encode(data).decode(), std)
        self.assertEqual(base64.urlsafe_b64encode(data).decode(), url)
        # The decoders give the bytes themselves, from 8-bit text as well as from UTF-16.
        self.assertEqual(data, self.code("decode", 1, "", std.encode("ascii")))
        self.assertEqual(data, self.code("decode", 7, "", url.encode("utf-16-le")))

    def test_url_coding_matches_form_encoding_with_lower_case_digits(self):
        text = "a b/c & d=\u00e9\u3042~_.-+%"
        encoded = self.code("encode", 4, "", text.encode("utf-16-le")).decode("utf-16-le")
        expected = re.sub(r"%[0-9A-F]{2}", lambda m: m.group(0).lower(),
                          urllib.parse.quote_plus(text, safe="~"))
        self.assertEqual(expected, encoded)
        self.assertEqual(text, self.code("decode", 4, "", encoded.encode("utf-16-le")).decode("utf-16-le"))


def tree_files(top):
    """Relative path -> bytes of every file below top."""
    found = {}
    for folder, _, files in os.walk(top):
        for name in files:
            full = os.path.join(folder, name)
            with open(full, "rb") as f:
                found[os.path.relpath(full, top)] = f.read()
    return found


class ArchiveExtraction(CodingCase):
    PASSWORD = "Up date#2024"

    def make_source(self):
        src = self.path("src")
        os.makedirs(os.path.join(src, "bin", "lang"))
        files = {
            "changelist.xml": b"<changelist>\r\n</changelist>\r\n" * 50,
            os.path.join("bin", "NolvexConnect.exe"): sample(70000, seed=5),
            os.path.join("bin", "lang", "StringTable_JP.dll"): bytes(range(256)) * 40,
            os.path.join("bin", "empty.txt"): b"",
        }
        for rel, data in files.items():
            with open(os.path.join(src, rel), "wb") as f:
                f.write(data)
        return src, files

    def seven_zip(self, src, archive, *switches):
        subprocess.run(["7z", "a", "-tzip", *switches, archive, "."], cwd=src, check=True,
                       stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)

    def extract(self, archive, password, target=None, exe=CODETOOL):
        target = target or self.path("out")
        r = self.codetool("zip", self.win(target), self.win(archive), password, exe=exe)
        out = r.stdout.decode(errors="replace")
        code = int(re.search(r"result=0x([0-9a-f]+)", out).group(1), 16)
        text = re.search(r"text=(.*)", out).group(1).strip()
        return code, text

    def outside_target(self):
        """Every file of the test folder and of the prefix's drive root outside the target."""
        files = {k: v for k, v in tree_files(self.root).items() if not k.startswith("out" + os.sep)}
        # The stand-in's own journal folder (C:\\nolvex-sim) is its state, not an extraction.
        files.update({"drive_c/" + n: None for n in os.listdir(PREFIX.drive_c()) if n != "nolvex-sim"})
        return files

    def test_password_archive_extracts_with_its_folders(self):
        src, files = self.make_source()
        for label, switches in (("deflated", ()), ("stored", ("-mx0",))):
            with self.subTest(label):
                archive = self.path(label + ".zip")
                self.seven_zip(src, archive, "-p" + self.PASSWORD, "-mem=ZipCrypto", *switches)
                target = self.path("out", label)
                self.assertEqual((0, ""), self.extract(archive, self.PASSWORD, target))
                self.assertEqual(files, tree_files(target))

    def test_existing_files_are_overwritten(self):
        src, files = self.make_source()
        archive = self.path("a.zip")
        self.seven_zip(src, archive, "-p" + self.PASSWORD, "-mem=ZipCrypto")
        os.makedirs(self.path("out"))
        with open(self.path("out", "changelist.xml"), "wb") as f:
            f.write(b"old")
        self.assertEqual(0, self.extract(archive, self.PASSWORD)[0])
        self.assertEqual(files, tree_files(self.path("out")))

    def test_wrong_password_gives_the_password_error_and_writes_nothing(self):
        src, _ = self.make_source()
        archive = self.path("a.zip")
        self.seven_zip(src, archive, "-p" + self.PASSWORD, "-mem=ZipCrypto")
        before = self.outside_target()
        self.assertEqual((0x800A, "7-Zip API return ERROR_PASSWORD_FILE"), self.extract(archive, "wrong"))
        self.assertEqual({}, tree_files(self.path("out")))
        self.assertEqual(before, self.outside_target())
        # The operator reads the archiver's error in the trace log of the program that extracted.
        pattern = re.compile(r"APIError \[SevenZip\] rc:\[0x0000800a\] dll return:\[.*\] "
                             r"msg:\[7-Zip API return ERROR_PASSWORD_FILE\]$")
        self.assertTrue(any(pattern.search(line) for line in trace_log_lines()))

    def test_broken_archives_give_the_archivers_codes(self):
        src, _ = self.make_source()
        plain = self.path("plain.zip")
        self.seven_zip(src, plain)
        with open(plain, "rb") as f:
            data = f.read()
        cut = self.path("cut.zip")
        with open(cut, "wb") as f:
            f.write(data[: len(data) // 2])
        self.assertEqual((0x8019, "7-Zip API return ERROR_NOT_ARC_FILE"), self.extract(cut, ""))
        # Damage the compressed bytes of the big entry: its data or its CRC check fails.
        offset = data.index(b"NolvexConnect.exe") + 200
        damaged = self.path("damaged.zip")
        with open(damaged, "wb") as f:
            f.write(data[:offset] + bytes(b ^ 0x55 for b in data[offset:offset + 64]) + data[offset + 64:])
        before = self.outside_target()
        code, text = self.extract(damaged, "", self.path("out", "damaged"))
        self.assertIn(code, (0x800C, 0x8048))
        self.assertIn(text, ("7-Zip API return ERROR_FILE_CRC", "7-Zip API return ERROR_BROKEN_DATA"))
        self.assertNotIn(os.path.join("bin", "NolvexConnect.exe"), tree_files(self.path("out", "damaged")))
        self.assertEqual(before, self.outside_target())
        self.assertEqual((0x8029, "7-Zip API return ERROR_NOT_FIND_ARC_FILE"),
                         self.extract(self.path("missing.zip"), ""))

    def test_entries_climbing_out_of_the_target_are_refused(self):
        names = ["../evil.txt", "sub/../../evil.txt", "/evil.txt", "\\evil.txt", "..\\evil.txt",
                 "C:/evil.txt", "C:evil.txt", ".. /evil.txt"]
        for name in names:
            with self.subTest(name=name):
                archive = self.path("climb.zip")
                with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
                    z.writestr("ok.txt", b"harmless")
                    z.writestr(zipfile.ZipInfo(name), b"escaped")
                before = self.outside_target()
                self.assertEqual((0x802B, "7-Zip API return ERROR_NOT_FILENAME"), self.extract(archive, ""))
                self.assertEqual(before, self.outside_target())
                self.assertEqual({}, tree_files(self.path("out")))
                self.assertFalse(os.path.exists(PREFIX.drive_c("evil.txt")))
                self.assertFalse(os.path.exists(PREFIX.drive_c("coding-test", "evil.txt")))

    def test_archiver_receives_the_designed_command_line(self):
        journal = PREFIX.drive_c("nolvex-sim", "sevenzip", "journal.txt")
        if os.path.exists(journal):
            os.remove(journal)
        src, _ = self.make_source()
        archive = self.path("a.zip")
        self.seven_zip(src, archive, "-p" + self.PASSWORD, "-mem=ZipCrypto")
        self.assertEqual(0, self.extract(archive, self.PASSWORD)[0])
        with open(journal, encoding="latin-1") as f:
            lines = f.read().splitlines()
        expected = 'SevenZip x "%s" -aoa -hide -o"%s" -p*** -> 0x0000' % (
            self.win(archive), self.win(self.path("out")))
        self.assertEqual([expected], lines)
        self.assertNotIn(self.PASSWORD, "\n".join(lines))

    def test_missing_archiver_library_is_a_failure(self):
        alone = self.path("alone")
        os.makedirs(alone)
        shutil.copy(CODETOOL, alone)
        src, _ = self.make_source()
        archive = self.path("a.zip")
        self.seven_zip(src, archive)
        code, text = self.extract(archive, "", exe=self.win(os.path.join(alone, "codetool.exe")))
        self.assertEqual(0xFFFFFFFF, code)
        self.assertEqual("", text)
        self.assertFalse(os.path.exists(self.path("out")))


if __name__ == "__main__":
    unittest.main()
