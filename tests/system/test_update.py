"""Module update and rollback by the installed service, in an install folder of the prefix with
the test client installed as NolvexConnect.exe."""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import ncclient
import winehelp
from servicehost import INSTALL_DIR_WIN, SERVICE, SERVING, STOPPED, ServiceScenario

SIGN_TOOL = os.path.join(winehelp.BIN_DIR, "nc_updatesign.exe")
HOLD_TOOL = os.path.join(winehelp.BIN_DIR, "nc_filehold.exe")
DEV_KEY = os.path.join(winehelp.SOURCE_DIR, "keys", "dev-update-private.blob")
BACKUP_FAILED = "Save process for previous version failed."
ROLLBACK_FAILED = "Process to restore previous version failed."
RESULT = "[OutputInfo] MessageAnalysis return"
STOP_PENDING = 3
STOP_CHECK_POINT = 2   # what the service reports while it stops without an update to wait for
# The product's files stay as installed; these are what every test starts from besides them.
BASELINE = {
    "readme.txt": b"readme 1",
    "gone.txt": b"to be deleted",
    "Logs/trace.log": b"log",
    "Logs/old/x.log": b"old log",
    "plugins/a.dll": b"plugin a",
    "plugins/deep/b.dll": b"plugin b",
    "sub/NolvexConnect.exe": b"a nested copy",
    "sub/nolvexconnectmonitor.exe": b"another nested copy",
}
SIDE_FOLDERS = ["NolvexConnectBak", "NolvexConnect_NG", "NolvexConnect_Update", "NolvexConnect_InUse",
                "NolvexConnectBakNew", "NolvexConnectBakOld"]


def change_list(*items):
    """items: (method, type, name)."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<Directory>"]
    for method, kind, name in items:
        lines += ['  <Item %s="%s">' % (method, kind), "    <name>%s</name>" % name, "  </Item>"]
    lines.append("</Directory>")
    return ("\r".join(lines) + "\r").encode("utf-8")


def tree(root):
    """Relative path (with "/") -> bytes for every file, and path + "/" for every folder."""
    result = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        for name in dirs:
            result[os.path.normpath(os.path.join(rel, name)) + "/"] = None
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                result[os.path.normpath(os.path.join(rel, name))] = f.read()
    return result


def bulk_update(install_dir, count, changed_every):
    """Fills the install folder with count files of 100 kB (so that an update of it takes seconds)
    and returns an update of every changed_every-th of them."""
    big = {"bulk/d%d/f%d.bin" % (i // 100, i): bytes([i % 251]) * 100000 for i in range(count)}
    write_tree(install_dir, big)
    return {"bulk/d%d/f%d.bin" % (i // 100, i): bytes([(i + 1) % 251]) * 100000 for i in range(0, count, changed_every)}


def write_tree(root, files):
    for rel, data in files.items():
        path = os.path.join(root, *rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


class UpdateTest(ServiceScenario):
    PREFIX = "wineprefix-service-update"
    BRING_UP = SERVING

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.product = {name: data for name, data in tree(cls.host.install_dir()).items() if "/" not in name}
        cls.counter = 0

    def setUp(self):
        super().setUp()
        install = self.host.install_dir()
        for name in os.listdir(install):
            path = os.path.join(install, name)
            if name not in self.product:
                shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        write_tree(install, BASELINE)
        parent = os.path.dirname(install)
        for name in SIDE_FOLDERS:
            shutil.rmtree(os.path.join(parent, name), ignore_errors=True)
        self.sim.clear_journal()
        self.before = tree(install)

    # --- helpers ------------------------------------------------------------------------------
    def win(self, path):
        return winehelp.windows_path(path, self.host.prefix)

    def make_update(self, files, items=None, sign=True, folder=None):
        """A difference folder in the user's update folder: its Unix path."""
        UpdateTest.counter += 1
        folder = folder or self.host.user_app_data("NolvexConnect", "upd%d" % self.counter)
        os.makedirs(folder, exist_ok=True)
        write_tree(folder, files)
        if items is not None:
            with open(os.path.join(folder, "changelist.xml"), "wb") as f:
                f.write(change_list(*items))
        if sign:
            res = self.host.prefix.wine(SIGN_TOOL, "sign", DEV_KEY, self.win(folder))
            self.assertEqual(0, res.returncode, res.stderr)
        return folder

    def results(self):
        return [int(m.group(1)) for m in (re.search(re.escape(RESULT) + r" (-?\d+)", l) for l in self.host.log_lines()) if m]

    def request(self, *args, exe=None, timeout=120):
        """Sends one message through a client and waits for its analysis: the result."""
        n = len(self.results())
        if exe is None:
            rc, out = self.host.client(*args)
        else:
            rc, out, err = ncclient.run(self.host.prefix, *args, exe=exe)
            out += err
        self.assertEqual(0, rc, out)
        self.assertTrue(winehelp.wait_for(lambda: len(self.results()) > n, timeout), self.host.log_lines()[-30:])
        return self.results()[n]

    def update(self, folder, *extra, pid="self", **kw):
        return self.request("update", pid, self.win(folder), *extra, **kw)

    def assert_untouched(self):
        self.assertEqual(self.before, tree(self.host.install_dir()))

    def boxes(self, text, count=1):
        messages = self.sim.wait_for_messages(count, 30)
        return [m for m in messages if m["message"] == text]

    # --- the designed path --------------------------------------------------------------------
    def test_signed_update_deletes_as_listed_copies_and_restarts_the_client(self):
        started = self.host.count("The client ")
        outside = self.host.prefix.drive_c("victim.txt")
        with open(outside, "wb") as f:
            f.write(b"victim")
        items = [("D", "F", "gone.txt"), ("D", "D", "plugins"), ("D", "D", "Logs"), ("D", "D", "logs\\"),
                 ("D", "D", "Logs\\old"), ("D", "F", "nolvexconnect.exe"), ("D", "F", "NolvexConnectMonitor.EXE."),
                 ("D", "F", "sub\\NOLVEXCONNECT.exe"), ("D", "F", "sub\\nolvexconnectmonitor.exe"),
                 ("D", "F", "stringtable_jp.dll"), ("D", "F", "..\\..\\victim.txt"), ("D", "F", "C:\\victim.txt"),
                 ("D", "F", "readme.txt:stream"), ("D", "F", ""), ("A", "F", "readme.txt")]
        folder = self.make_update({"readme.txt": b"readme 2", "new/n.dll": b"new"}, items)
        self.assertEqual(0, self.update(folder))
        expected = dict(self.before)
        for gone in ("gone.txt", "plugins/", "plugins/a.dll", "plugins/deep/", "plugins/deep/b.dll",
                     "Logs/old/", "Logs/old/x.log"):
            del expected[gone]
        expected.update({"readme.txt": b"readme 2", "new/": None, "new/n.dll": b"new",
                         "changelist.xml": change_list(*items)})
        self.assertEqual(sorted(expected), sorted(tree(self.host.install_dir())))
        self.assertEqual(expected, tree(self.host.install_dir()))
        self.assertTrue(os.path.exists(outside))
        self.assertEqual(self.before, tree(self.host.install_dir() + "Bak"))
        self.assertFalse(os.path.exists(folder), "the difference folder is removed")
        self.assertFalse(os.path.exists(self.host.install_dir() + "_Update"), "the staging folder is removed")
        for text in ("Can't Delete File nolvexconnect.exe", "Log folder does not delete",
                     "Delete Folder C:\\Program Files\\NolvexConnect\\Logs\\old",
                     "The change list name [..\\..\\victim.txt] is refused", "The change list name [C:\\victim.txt] is refused",
                     "The change list name [readme.txt:stream] is refused", "The change list name [] is refused",
                     "The update's manifest verifies"):
            self.assertGreaterEqual(self.host.count(text), 1, text)
        # The client is started again (the test client without arguments shows its usage and ends).
        self.assertTrue(self.host.wait_log("The client ", 30, started + 1))
        line = [l for l in self.host.log_lines() if "The client " in l and "was started" in l][-1]
        self.assertIn('"%s\\NolvexConnect.exe"' % INSTALL_DIR_WIN, line)

    def test_a_difference_folder_without_change_list_is_copied_without_deletions(self):
        folder = self.make_update({"gone.txt": b"replaced", "extra.txt": b"extra"})
        self.assertEqual(0, self.update(folder))
        expected = dict(self.before, **{"gone.txt": b"replaced", "extra.txt": b"extra"})
        self.assertEqual(expected, tree(self.host.install_dir()))
        self.assertGreaterEqual(self.host.count("changelist.xml does not exist"), 1)

    # --- failures and rollback ----------------------------------------------------------------
    def hold(self, rel_path, *mode, folder=INSTALL_DIR_WIN):
        """Another program holds a file of the install folder open (ended by its own id)."""
        holder = subprocess.Popen(self.host.prefix.argv(HOLD_TOOL, folder + "\\" + rel_path, "120", *mode),
                                  env=self.host.prefix.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  stdin=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(self.release, holder)
        self.assertEqual(b"held", holder.stdout.readline().strip())
        return holder

    @staticmethod
    def release(holder):
        if holder.poll() is None:
            holder.kill()
        holder.wait(timeout=30)

    def test_a_copy_that_fails_midway_rolls_back_exactly_and_tells_the_session(self):
        folder = self.make_update({"a_first.txt": b"first", "readme.txt": b"readme 2", "plugins/a.dll": b"plugin 2",
                                   "zz_last.txt": b"last"}, [("D", "F", "gone.txt")])
        # Readable, so the backup is taken; neither writable nor renamable, so the copy fails there.
        holder = self.hold("plugins\\a.dll", "read")
        self.assertNotEqual(0, self.update(folder))
        self.release(holder)
        self.assert_untouched()
        self.assertEqual(1, len(self.boxes(BACKUP_FAILED)))
        self.assertGreaterEqual(self.host.count("BackupFolder to InstallFolder Copy OK"), 1)
        self.assertTrue(os.path.exists(folder), "a failed update keeps its difference folder")

    def test_a_file_held_without_any_sharing_stops_the_update_before_anything_changes(self):
        folder = self.make_update({"readme.txt": b"readme 2", "plugins/a.dll": b"plugin 2"})
        holder = self.hold("plugins\\a.dll")
        self.assertNotEqual(0, self.update(folder))
        self.release(holder)
        self.assert_untouched()
        self.assertEqual(1, len(self.boxes(BACKUP_FAILED)))
        self.assertGreaterEqual(self.host.count("BackupCopy Error"), 1)

    def test_a_read_only_file_of_the_install_folder_fails_the_copy_and_is_rolled_back(self):
        folder = self.make_update({"a_first.txt": b"first", "readme.txt": b"readme 2", "zz_last.txt": b"last"})
        res = self.host.prefix.wine("cmd", "/c", "attrib", "+r", INSTALL_DIR_WIN + "\\readme.txt")
        self.assertEqual(0, res.returncode)
        self.addCleanup(self.host.prefix.wine, "cmd", "/c", "attrib", "-r", INSTALL_DIR_WIN + "\\readme.txt")
        self.assertNotEqual(0, self.update(folder))
        self.assert_untouched()
        self.assertTrue(self.host.wait_log("is read-only; it is not overwritten", 20))
        self.assertEqual(1, len(self.boxes(BACKUP_FAILED)))

    def test_rollback_restores_the_backup_and_two_updates_then_a_rollback_give_the_state_between(self):
        self.assertEqual(0, self.update(self.make_update({"first.txt": b"1", "readme.txt": b"readme 2"},
                                                         [("D", "F", "gone.txt")])))
        between = tree(self.host.install_dir())
        self.assertEqual(0, self.update(self.make_update({"second.txt": b"2", "readme.txt": b"readme 3"})))
        self.assertNotEqual(between, tree(self.host.install_dir()))
        self.assertEqual(0, self.request("rollback"))
        self.assertEqual(between, tree(self.host.install_dir()))
        self.assertFalse(os.path.exists(self.host.install_dir() + "_NG"))
        self.assertEqual([], self.boxes(ROLLBACK_FAILED, 0))

    def test_a_rollback_whose_restore_fails_puts_the_failed_state_back_and_says_so(self):
        self.assertEqual(0, self.update(self.make_update({"readme.txt": b"readme 2", "new.txt": b"new"})))
        updated = tree(self.host.install_dir())
        holder = self.hold("readme.txt", folder=INSTALL_DIR_WIN + "Bak")
        self.assertNotEqual(0, self.request("rollback"))
        self.release(holder)
        self.assertEqual(updated, tree(self.host.install_dir()))
        self.assertGreaterEqual(self.host.count("RenameFolder to InstallFolder Copy OK"), 1)
        self.assertTrue(self.host.wait_log("The rollback failed; the install folder is as it was before the rollback.", 20))
        self.assertEqual(1, len(self.boxes(ROLLBACK_FAILED)))

    def test_a_rollback_without_backup_reports_its_failure(self):
        self.assertNotEqual(0, self.request("rollback"))
        self.assert_untouched()
        self.assertEqual(1, len(self.boxes(ROLLBACK_FAILED)))

    # --- refusals -----------------------------------------------------------------------------
    def assert_refused(self, result, reason):
        self.assertEqual(-1, result)
        self.assertTrue(self.host.wait_log(reason, 20), reason)
        self.assert_untouched()
        self.assertFalse(os.path.exists(self.host.install_dir() + "Bak"))

    def test_requests_from_anything_but_the_installed_client_are_refused(self):
        folder = self.make_update({"evil.dll": b"evil"})
        self.assert_refused(self.update(folder, exe=ncclient.CLIENT), "is not the installed client")
        self.assert_refused(self.request("rollback", exe=ncclient.CLIENT), "The RollBackUpdate is refused")
        self.assert_refused(self.update(folder, pid="999999"), "the message names process 999999")
        self.assertTrue(os.path.exists(os.path.join(folder, "evil.dll")))

    def test_difference_folders_outside_the_users_update_folder_or_through_a_link_are_refused(self):
        outside = self.make_update({"evil.dll": b"evil"}, folder=self.host.prefix.drive_c("updates", "u1"))
        self.assert_refused(self.update(outside), "is not inside")
        # A link inside the user's folder that leads elsewhere (Wine reports a symbolic link to a
        # folder as a reparse point; its mklink /j makes none).
        link = self.host.user_app_data("NolvexConnect", "link%d" % self.counter)
        os.symlink(self.host.prefix.drive_c("updates"), link)
        try:
            self.assert_refused(self.update(os.path.join(link, "u1")), "passes a reparse point")
        finally:
            os.remove(link)
        sneaky = self.host.user_app_data("NolvexConnect", "..", "NolvexConnectX", "u2")
        self.assert_refused(self.update(self.make_update({"evil.dll": b"evil"}, folder=sneaky)), "is not inside")

    def test_unsigned_altered_extended_and_truncated_updates_are_refused(self):
        files = {"readme.txt": b"readme 2", "plugins/x.dll": b"x"}
        cases = [(self.make_update(files, sign=False), "carries no manifest")]
        altered = self.make_update(files)
        with open(os.path.join(altered, "readme.txt"), "ab") as f:
            f.write(b"!")
        cases.append((altered, "differs from its listed digest"))
        extended = self.make_update(files)
        write_tree(extended, {"NolvexConnect.exe": b"planted"})
        cases.append((extended, "is not listed in the manifest"))
        truncated = self.make_update(files)
        os.remove(os.path.join(truncated, "plugins", "x.dll"))
        cases.append((truncated, "a listed file is missing"))
        for n, (folder, reason) in enumerate(cases, 1):
            self.assert_refused(self.update(folder), reason)
            self.assertEqual(n, len(self.boxes(BACKUP_FAILED, n)))

    # --- processes ----------------------------------------------------------------------------
    def test_waiting_for_the_client_keeps_no_processor_busy(self):
        folder = self.make_update({"extra.txt": b"extra"})
        pid = self.host.unix_pid()
        n = len(self.results())
        client = self.host.start_client("update", "self", self.win(folder), "--stay", "10")
        try:
            self.assertTrue(self.host.wait_log("Continued Update ProcessCheck", 30))
            cpu_before = self.host.unix_usage()[2]
            started = time.monotonic()
            self.assertTrue(winehelp.wait_for(lambda: len(self.results()) > n, 60))
            waited = time.monotonic() - started
            cpu = self.host.unix_usage()[2] - cpu_before
        finally:
            if client.poll() is None:
                client.kill()
            client.wait(timeout=30)
        print("\nprocessor time of the service while it waited %.1f s for the client: %.2f s" % (waited, cpu))
        self.assertEqual(pid, self.host.unix_pid())
        self.assertGreater(waited, 5)
        self.assertLess(cpu, 1.5, "the service used %.2f s of processor time while it waited %.1f s" % (cpu, waited))
        self.assertEqual(0, self.results()[n])

    def test_two_updates_at_once_run_one_at_a_time(self):
        bulk_update(self.host.install_dir(), 600, 100)
        first = self.make_update({"race/first.txt": b"first", "readme.txt": b"readme from the first"})
        second = self.make_update({"race/second.txt": b"second", "gone.txt": b"from the second"})
        contents = {first: tree(first), second: tree(second)}
        before = tree(self.host.install_dir())
        refused = self.host.count("Another update or rollback is running; the DoUpdate is refused.")
        n = len(self.results())
        # Both clients send their DoUpdate and end at the same moment: both workers wake together.
        clients = [self.host.start_client("update", "self", self.win(folder), "--stay", "3")
                   for folder in (first, second)]
        for client in clients:
            self.addCleanup(self.release, client)
        self.assertTrue(winehelp.wait_for(lambda: len(self.results()) >= n + 2, 240), self.host.log_lines()[-40:])
        self.assertEqual([-1, 0], sorted(self.results()[n:n + 2]))
        self.assertEqual(refused + 1, self.host.count("Another update or rollback is running; the DoUpdate is refused."))
        # The install folder holds exactly one of the two updates, whole, and nothing of the other.
        after = tree(self.host.install_dir())
        winner = first if "race/first.txt" in after else second
        applied = {k: v for k, v in contents[winner].items() if k != "update.manifest"}
        self.assertEqual(dict(before, **applied), after)
        loser = second if winner is first else first
        self.assertTrue(os.path.exists(loser), "the refused update's folder stays")
        self.assertFalse(os.path.exists(winner), "the applied update's folder is removed")


class MonitorReplacementTest(ServiceScenario):
    """An update that carries a new NolvexConnectMonitor.exe: in place at once, running after the
    next service start; a rollback brings the old one back the same way."""

    PREFIX = "wineprefix-service-update-monitor"
    BRING_UP = SERVING

    def exe(self):
        with open(self.host.install_dir("NolvexConnectMonitor.exe"), "rb") as f:
            return f.read()

    def open_images(self):
        """Unix paths of the service executables that the prefix's processes hold open (the
        service's own image among them)."""
        found = set()
        marker = ("WINEPREFIX=" + self.host.prefix.path).encode()
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if marker not in f.read().split(b"\0"):
                        continue
                for fd in os.listdir("/proc/%s/fd" % entry):
                    target = os.readlink("/proc/%s/fd/%s" % (entry, fd))
                    if "NolvexConnectMonitor.exe" in target or "_InUse" in target:
                        found.add(target)
            except OSError:
                continue
        return found

    def restart(self):
        rc, out = self.host.stop()
        self.assertEqual(0, rc, out)
        starts = self.host.count("Start for Loop")
        rc, out = self.host.start()
        self.assertEqual(0, rc, out)
        self.assertTrue(self.host.wait_log("Start for Loop", 60, starts + 1))

    def message(self, *args):
        n = self.host.count(RESULT)
        rc, out = self.host.client(*args)
        self.assertEqual(0, rc, out)
        self.assertTrue(self.host.wait_log(RESULT, 120, n + 1))
        return self.host.log_lines()

    def test_a_new_service_executable_runs_after_the_next_start_and_a_rollback_brings_the_old_back(self):
        old = self.exe()
        new = old + b"\0" * 512   # the same program with a marker after its image
        folder = self.host.user_app_data("NolvexConnect", "svc")
        write_tree(folder, {"NolvexConnectMonitor.exe": new})
        res = self.host.prefix.wine(SIGN_TOOL, "sign", DEV_KEY, winehelp.windows_path(folder, self.host.prefix))
        self.assertEqual(0, res.returncode, res.stderr)
        self.message("update", "self", winehelp.windows_path(folder, self.host.prefix))
        self.assertGreaterEqual(self.host.count("UpdateProc End"), 1, self.host.log_lines()[-40:])
        self.assertEqual(new, self.exe())
        aside = self.host.install_dir() + "_InUse"
        self.assertEqual(1, len(os.listdir(aside)))
        held = self.open_images()
        self.assertTrue(any("_InUse" in image for image in held), held)

        self.restart()
        self.assertFalse(os.path.exists(aside), "the old file goes at the next start")
        held = self.open_images()
        self.assertTrue(held and all("_InUse" not in image for image in held), held)
        self.assertEqual(new, self.exe())

        self.host.client("loglevel", "1")
        self.message("rollback")
        self.assertEqual(old, self.exe())
        self.restart()
        self.assertEqual(old, self.exe())
        self.assertEqual(4, self.host.state())

    def test_a_stop_waits_for_a_running_update_to_finish(self):
        update = bulk_update(self.host.install_dir(), 1500, 5)
        folder = self.host.user_app_data("NolvexConnect", "big")
        write_tree(folder, update)
        res = self.host.prefix.wine(SIGN_TOOL, "sign", DEV_KEY, winehelp.windows_path(folder, self.host.prefix))
        self.assertEqual(0, res.returncode, res.stderr)
        expected = dict(tree(self.host.install_dir()), **update)
        starts = self.host.count("BackupCopy Start")
        rc, out = self.host.client("update", "self", winehelp.windows_path(folder, self.host.prefix))
        self.assertEqual(0, rc, out)
        self.assertTrue(self.host.wait_log("BackupCopy Start", 60, starts + 1))
        # Every status the service reports while it stops, read every 20 ms in the prefix.
        with tempfile.TemporaryFile() as statuses:
            watch = self.host.prefix.start(r"C:\nolvex-tools\nc_svcctl.exe", "watch", SERVICE, "180000",
                                           stdout=statuses)
            self.addCleanup(UpdateTest.release, watch)
            rc, out = self.host.stop(120000)
            watch.wait(timeout=60)
            statuses.seek(0)
            reports = [dict(item.split("=", 1) for item in line.split())
                       for line in statuses.read().decode("utf-8", "replace").splitlines() if line.startswith("state=")]
        self.assertEqual(0, rc, out)
        self.assertEqual(STOPPED, self.host.state())
        lines = self.host.log_lines()
        waits = [i for i, l in enumerate(lines) if "The stop waits for the running update or rollback." in l]
        # The last step of the update, under its gate (UpdateProc End comes after the gate).
        ends = [i for i, l in enumerate(lines) if "NolvexConnectClient Application Start" in l]
        resumed = [i for i, l in enumerate(lines) if "The update or rollback has ended; the stop goes on." in l]
        self.assertTrue(waits and ends and resumed, lines[-40:])
        self.assertLess(waits[-1], ends[-1])
        self.assertLess(ends[-1], resumed[-1])
        self.assertEqual(expected, tree(self.host.install_dir()))
        # While it waited for the update, its check point grew with the update's steps (beyond the
        # fixed one of a stop without an update), and never went back.
        pending = [int(r["checkpoint"]) for r in reports if int(r["state"]) == STOP_PENDING]
        self.assertEqual(sorted(pending), pending, reports)
        self.assertGreaterEqual(len({c for c in pending if c > STOP_CHECK_POINT}), 2, reports)
        starts = self.host.count("Start for Loop")
        rc, out = self.host.start()
        self.assertEqual(0, rc, out)
        self.assertTrue(self.host.wait_log("Start for Loop", 60, starts + 1))


if __name__ == "__main__":
    unittest.main()
