"""setuprun.exe used as a person uses it: started from an installation folder under Wine on a
virtual X display, it runs the stand-in "setup.exe" with the designed parameter line, waits for
it, asks its Japanese question before "extra.bat" and ends with the designed exit codes.

Each class that runs the program has its own fresh Wine prefix (the Windows version and the
locale are changed) and its own Xvfb display; both end with the class. One class only reads the
built program file.
"""
import datetime
import os
import re
import shutil
import subprocess
import unittest

import desktop
import peinfo
import winehelp

BIN = winehelp.BIN_DIR
CAPTION = "NOLVEX CONNECT"
QUESTION = ("引き続き処理を実行しますか？\n"
            "※NOLVEXコネクトをインストール済みの場合は「はい」を選択してください。")
# The optional script: leaves a marker beside itself.
EXTRA_BAT = '@echo off\r\necho ran> "%~dp0extra-ran.txt"\r\n'
MEDIA = ("install media", "disk 1")        # blanks on purpose
RUN_TIMEOUT = 90
WINDOW_TIMEOUT = 45
# Wine's Japanese dialog fonts are Microsoft's; a Japanese Windows has them, the prefix maps them
# onto IPA Gothic (Debian package fonts-ipafont-gothic).
JAPANESE_FONTS = ("MS UI Gothic", "MS Gothic", "MS PGothic", "ＭＳ ゴシック", "ＭＳ Ｐゴシック")


def shell_execute_calls(trace):
    """(verb, file) of every ShellExecuteEx that Wine's shell32 received, from a +exec trace."""
    calls = []
    for match in re.finditer(r'SHELL_execute mask=\S+ hwnd=\S+ verb=(\S+) file=L"((?:[^"\\]|\\.)*)"', trace):
        verb = match.group(1)
        verb = None if verb == "(null)" else verb[2:-1]
        calls.append((verb, match.group(2).replace("\\\\", "\\")))
    return calls


class LauncherFixture(unittest.TestCase):
    """One prefix and one X display per class; each test gets a fresh installation folder."""

    PREFIX_NAME = None
    WINDOWS_VERSION = "win7"
    JAPANESE = False

    @classmethod
    def setUpClass(cls):
        missing = desktop.missing_tools()
        if missing:
            raise RuntimeError("missing tools %s: install scripts/packages-setuprun.txt" % missing)
        for exe in ("setuprun.exe", "nc_setup_standin.exe", "nc_limited_run.exe", "nc_window_text.exe"):
            if not os.path.isfile(os.path.join(BIN, exe)):
                raise RuntimeError(exe + " is not built")
        cls.xserver = desktop.XServer()
        cls.xserver.start()
        cls.prefix = winehelp.Prefix(cls.PREFIX_NAME)
        cls.prefix.env.update(cls.xserver.env())
        if cls.JAPANESE:
            cls.prefix.env.update(desktop.japanese_locale_env())
        try:
            cls.prefix.create(fresh=True)
            cls.prefix.wine("winecfg", "-v", cls.WINDOWS_VERSION, check=True)
            if cls.JAPANESE:
                for face in JAPANESE_FONTS:
                    cls.prefix.reg_add(r"HKCU\Software\Wine\Fonts\Replacements", face, "IPAGothic")
            # Wine draws the caption itself, so that the screenshot shows it without a window manager.
            cls.prefix.reg_add(r"HKCU\Software\Wine\X11 Driver", "Decorated", "N")
            cls.prefix.wait()
            echoed = cls.prefix.wine("cmd", "/c", "echo", "%APPDATA%", check=True)
            cls.appdata = echoed.stdout.decode("ascii", "replace").strip()
        except Exception:
            cls.prefix.retire()
            cls.xserver.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.prefix.retire()
        cls.xserver.stop()

    def setUp(self):
        self.media = self.prefix.drive_c(*MEDIA)
        shutil.rmtree(self.prefix.drive_c(MEDIA[0]), ignore_errors=True)
        os.makedirs(self.media)
        shutil.copy(os.path.join(BIN, "setuprun.exe"), self.media)
        self.media_windows = winehelp.windows_path(self.media, self.prefix)
        self.log_folder = self.appdata + "\\NolvexConnectInstall"
        self.proc = None
        self.stderr_path = os.path.join(self.prefix.path, "setuprun-stderr.txt")

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            # A launcher still waiting (a question nobody answered): end everything of the prefix.
            self.prefix.kill()
            self.proc.wait()

    # -- the installation folder -------------------------------------------------------------

    def put_installer(self, exit_code=0, delay_ms=0):
        shutil.copy(os.path.join(BIN, "nc_setup_standin.exe"), os.path.join(self.media, "setup.exe"))
        with open(os.path.join(self.media, "setup.ini"), "w") as ini:
            ini.write("[standin]\r\nExitCode=%d\r\nDelayMs=%d\r\n" % (exit_code, delay_ms))

    def put_extra(self):
        with open(os.path.join(self.media, "extra.bat"), "w", newline="") as bat:
            bat.write(EXTRA_BAT)

    def journal(self):
        """Lines the stand-in installer recorded, or None if it never ran."""
        path = os.path.join(self.media, "setup.journal")
        if not os.path.isfile(path):
            return None
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
        return dict(line.split("=", 1) if "=" in line else (line, "") for line in lines)

    def extra_ran(self):
        return os.path.isfile(os.path.join(self.media, "extra-ran.txt"))

    # -- running the launcher ----------------------------------------------------------------

    def start(self, debug="-all", limited=False, env=None):
        """Starts setuprun.exe from the installation folder, as a double click there would."""
        program = [os.path.join(BIN, "nc_limited_run.exe")] if limited else []
        command = self.prefix.argv(*program, "setuprun.exe")
        run_env = dict(self.prefix.env, WINEDEBUG=debug)
        run_env.update(env or {})
        self.stderr_file = open(self.stderr_path, "wb")
        self.addCleanup(self.stderr_file.close)
        self.proc = subprocess.Popen(command, cwd=self.media, env=run_env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=self.stderr_file,
                                     start_new_session=True)
        return self.proc

    def finish(self):
        """Exit code of the started launcher; fails if it does not end by itself."""
        try:
            return self.proc.wait(timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.fail("setuprun.exe did not end within %d s" % RUN_TIMEOUT)

    def run_launcher(self, **kw):
        self.start(**kw)
        return self.finish()

    def stderr(self):
        self.stderr_file.flush()
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def wait_for_question(self):
        window = self.xserver.wait_for_window("^" + CAPTION + "$", WINDOW_TIMEOUT)
        self.assertIsNotNone(window, "the question did not appear")
        return window

    def answer(self, key, window=None):
        window = window or self.wait_for_question()
        self.assertTrue(self.xserver.answer(window, key), "the dialog did not take the key " + key)

    def window_texts(self, caption=CAPTION, window_class=None):
        """What a top-level window holds, read inside Wine by nc_window_text.exe."""
        out = self.prefix.drive_c("window-text.txt")
        if os.path.exists(out):
            os.remove(out)
        args = [caption, winehelp.windows_path(out, self.prefix), "10000"]
        if window_class:
            args.append(window_class)
        self.prefix.wine(os.path.join(BIN, "nc_window_text.exe"), *args, timeout=60)
        self.assertTrue(os.path.isfile(out), "no window captioned " + caption)
        with open(out, encoding="utf-8") as f:
            lines = f.read().splitlines()
        return [tuple(line.split("=", 1)) for line in lines]


class SetupRunProgramFileTest(unittest.TestCase):
    """What the built setuprun.exe asks of Windows before it runs."""

    @classmethod
    def setUpClass(cls):
        cls.imports = peinfo.imports(os.path.join(BIN, "setuprun.exe"))

    def test_resources_carry_the_designed_ids_and_texts(self):
        res = peinfo.resources(os.path.join(BIN, "setuprun.exe"))
        self.assertEqual("setuprun", peinfo.string_resource(res, 103))
        self.assertEqual("SETUPRUN", peinfo.string_resource(res, 109))
        rt_menu, rt_dialog, rt_accelerator, rt_group_icon, rt_manifest = 4, 5, 9, 14, 24
        for kind, res_id in ((rt_group_icon, 107), (rt_group_icon, 108), (rt_menu, 109),
                             (rt_dialog, 103), (rt_accelerator, 109), (rt_manifest, 1)):
            self.assertIn((kind, res_id), res)
        menu = res[(rt_menu, 109)].decode("utf-16-le", "replace")
        self.assertIn("&About", menu)
        self.assertIn("E&xit", menu)
        self.assertIn(b'level="asInvoker"', res[(rt_manifest, 1)])

    def test_window_and_shell_calls_are_the_ansi_ones(self):
        for dll in ("user32.dll", "shell32.dll"):
            self.assertEqual([], [name for name in self.imports.get(dll, []) if name.endswith("W")], dll)
        self.assertIn("MessageBoxA", self.imports["user32.dll"])
        self.assertIn("ShellExecuteExA", self.imports["shell32.dll"])


class SetupRunOnVistaAndLaterTest(LauncherFixture):
    PREFIX_NAME = "wineprefix-setuprun-win7"
    WINDOWS_VERSION = "win7"

    def test_installer_receives_the_designed_line_with_the_blank_folder_and_start_time(self):
        self.put_installer()
        before = datetime.datetime.now().replace(microsecond=0)
        self.assertEqual(1, self.run_launcher())
        after = datetime.datetime.now()
        journal = self.journal()
        self.assertIsNotNone(journal, "setup.exe was not started")
        match = re.search(r"NolvexConnectInstall_(\d{14})\.log", journal["cmdline"])
        self.assertIsNotNone(match, journal["cmdline"])
        stamp = match.group(1)
        expected = ('".\\setup.exe" /v"/L*v \\"' + self.log_folder + "\\NolvexConnectInstall_" + stamp +
                    '.log\\"" /v"INI_FILE_PATH=\\"' + self.media_windows + '\\""')
        self.assertEqual(expected, journal["cmdline"])
        started = datetime.datetime.strptime(stamp, "%Y%m%d%H%M%S")
        self.assertTrue(before <= started <= after, "%s not between %s and %s" % (started, before, after))
        self.assertEqual(self.media_windows, journal["cwd"])

    def test_log_folder_is_made_under_the_users_application_data(self):
        log_folder = self.prefix.drive_c(*self.log_folder[3:].split("\\"))
        shutil.rmtree(log_folder, ignore_errors=True)
        self.put_installer()
        self.assertEqual(1, self.run_launcher())
        self.assertTrue(os.path.isdir(log_folder), log_folder)

    def test_waits_for_the_installer_and_ignores_its_exit_code(self):
        self.put_installer(exit_code=1603, delay_ms=3000)
        self.assertEqual(1, self.run_launcher())
        self.assertIn("ended", self.journal(), "the launcher ended before the installer")

    def test_without_extra_bat_it_ends_after_the_installer_with_exit_code_1(self):
        self.put_installer()
        self.assertEqual(1, self.run_launcher())
        self.assertIn("ended", self.journal())
        self.assertEqual([], self.xserver.find_windows("^" + CAPTION + "$"))

    def test_installer_and_extra_bat_are_started_with_runas(self):
        self.put_installer()
        self.put_extra()
        self.start(debug="+exec")
        self.answer("y")
        self.assertEqual(1, self.finish())
        self.assertTrue(self.extra_ran())
        self.assertEqual([("runas", ".\\setup.exe"), ("runas", ".\\extra.bat")],
                         shell_execute_calls(self.stderr()))

    def test_missing_installer_does_not_stop_the_question(self):
        self.put_extra()
        self.start(debug="+debugstr")
        # The shell tells the user that it cannot find the file; after OK the launcher goes on.
        error_box = self.xserver.wait_for_window("^Error$", WINDOW_TIMEOUT)
        self.assertIsNotNone(error_box, "the shell reported no missing setup.exe")
        self.answer("Return", error_box)
        self.answer("n")
        self.assertEqual(1, self.finish())
        self.assertFalse(self.extra_ran())
        self.assertIn("APIError [ShellExecuteExA] rc:[2] msg:[", self.stderr())

    def test_main_window_is_there_but_hidden_with_the_designed_title_and_class(self):
        self.put_installer()
        self.put_extra()
        self.start()
        self.wait_for_question()
        texts = self.window_texts("setuprun", "SETUPRUN")
        self.assertIn(("class", "SETUPRUN"), texts)
        self.assertIn(("visible", "0"), texts)
        self.answer("n")
        self.assertEqual(1, self.finish())

    def test_log_folder_that_cannot_be_made_ends_with_exit_code_0(self):
        # A file where the folder should be: the folder can be neither found nor created.
        log_folder = self.prefix.drive_c(*self.log_folder[3:].split("\\"))
        shutil.rmtree(log_folder, ignore_errors=True)
        with open(log_folder, "w") as blocker:
            blocker.write("not a folder")
        self.addCleanup(os.remove, log_folder)
        self.put_installer()
        self.assertEqual(0, self.run_launcher(debug="+debugstr"))
        self.assertIsNone(self.journal(), "setup.exe ran although the log folder is missing")
        self.assertIn("APIError [CreateDirectoryA] rc:[183]", self.stderr())

    def test_no_window_ends_with_exit_code_0_before_the_installer(self):
        # Without a display Wine cannot create the hidden main window. The prefix is ended
        # afterwards: Wine processes started without a display must not serve the next test.
        self.addCleanup(self.prefix.kill)
        self.put_installer()
        self.assertEqual(0, self.run_launcher(debug="+debugstr", env={"DISPLAY": ""}))
        self.assertIsNone(self.journal())
        self.assertIn("APIError [CreateWindowA]", self.stderr())


class SetupRunQuestionInJapaneseTest(LauncherFixture):
    PREFIX_NAME = "wineprefix-setuprun-ja"
    WINDOWS_VERSION = "win7"
    JAPANESE = True

    def test_question_shows_caption_and_japanese_text_and_yes_runs_extra_bat(self):
        self.put_installer()
        self.put_extra()
        self.start()
        window = self.wait_for_question()
        self.assertEqual(CAPTION, self.xserver.window_name(window))
        self.assertIn("ended", self.journal() or {}, "the question came before the installer ended")
        texts = self.window_texts()
        self.assertIn(("caption", CAPTION), texts)
        self.assertIn(("Static", QUESTION.replace("\n", "\\n")), texts)
        # Every character has a glyph in the message box font: no empty boxes on the screen.
        self.assertIn(("missing_glyphs", "0"), texts)
        self.xserver.screenshot(os.path.join(self.prefix.path, "setuprun-question.png"))
        self.assertFalse(self.extra_ran(), "extra.bat ran before the answer")
        self.answer("y", window)
        self.assertEqual(1, self.finish())
        self.assertTrue(self.extra_ran(), "Yes did not run extra.bat")

    def test_answer_no_skips_extra_bat_and_still_exits_with_1(self):
        self.put_installer()
        self.put_extra()
        self.start()
        self.answer("n")
        self.assertEqual(1, self.finish())
        self.assertFalse(self.extra_ran(), "No ran extra.bat")


class SetupRunOnWindowsXpTest(LauncherFixture):
    PREFIX_NAME = "wineprefix-setuprun-winxp"
    # Version 5 in either build: a win64 prefix knows XP only as its 64-bit edition.
    WINDOWS_VERSION = "winxp64" if winehelp.ARCH == "x86_64" else "winxp"

    def test_no_verb_is_requested_for_installer_or_extra_bat(self):
        self.put_installer()
        self.put_extra()
        # Started with a standard user's limited token: what the installer gets shows whether
        # anything asked for elevation.
        self.start(debug="+exec", limited=True)
        self.answer("y")
        self.assertEqual(1, self.finish())
        self.assertTrue(self.extra_ran())
        self.assertEqual([(None, ".\\setup.exe"), (None, ".\\extra.bat")], shell_execute_calls(self.stderr()))
        self.assertEqual("3", self.journal()["elevation"], "the installer did not run with the limited token")


if __name__ == "__main__":
    unittest.main()
