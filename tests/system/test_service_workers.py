"""The installed service's workers: a watched client's end noticed at once, ticks, two users, a
bounded stop, a pipe that always listens, a flood of clients, the sender of a message and the
cost of waiting. Figures measured here are printed (end handling delay, usage before and after).
"""
import datetime
import os
import tempfile
import threading
import time
import unittest

import winehelp
from servicehost import RUNNING, STARTED, STOPPED, ServiceScenario

PIPE = r"\\.\pipe\NolvexConnectMonitor"
FOLDER = r"C:\users\watched\Nolvex"
ABRUPT_EXIT = 9


def log_time(line):
    """Seconds since the epoch of a trace log line ("2026/12/08 14:38:34.216 ...", local time)."""
    stamp = datetime.datetime.strptime(line[:23], "%Y/%m/%d %H:%M:%S.%f")
    return time.mktime(stamp.timetuple()) + stamp.microsecond / 1e6


def report(text):
    print("\n[measured] " + text, flush=True)


class ClientWatchScenarioTest(ServiceScenario):
    """The test build: a watch ticks every 3 s instead of every 60 s."""

    PREFIX = "wineprefix-service-watch"
    TEST_BUILD = True

    def start_watched(self, *options):
        starts = self.host.count("Start while Loop")
        client = self.host.started_client(FOLDER, 0, 1, *options)
        self.addCleanup(client.finish)
        self.assertIsNotNone(client.pid)
        self.assertTrue(self.host.wait_log("Start while Loop", 20, starts + 1), "the watch never began")
        return client

    def test_a_crashed_client_starts_the_end_handling_within_two_seconds(self):
        client = self.start_watched("--abrupt")
        ended = threading.Event()
        ended_at = []
        waiter = threading.Thread(target=lambda: (ended_at.append(client.wait(60)), ended_at.append(time.time()),
                                                  ended.set()))
        waiter.start()
        winehelp.wait_for(lambda: False, 0.5)
        client.quit()
        waiter.join(60)
        self.assertEqual(ABRUPT_EXIT, ended_at[0])
        start_text = "MonitorEnd::GetUserSetting"
        self.assertTrue(self.host.wait_log("The client process %d has ended." % client.pid, 10))
        self.assertTrue(self.host.wait_log(start_text, 10))
        line = [l for l in self.host.log_lines() if start_text in l and "START" in l][-1]
        delay = log_time(line) - ended_at[1]
        report("end handling began %.3f s after the client process ended" % delay)
        self.assertLess(delay, 2.0)

    def test_a_living_client_keeps_its_watch_across_ticks(self):
        ticks = self.host.count("Continued ProcessCheck")
        client = self.start_watched()
        self.assertTrue(self.host.wait_log("Continued ProcessCheck", 20, ticks + 2))
        self.assertGreaterEqual(self.host.count("MonitorStart End"), 2)
        self.assertTrue(client.running())
        ends = self.host.count("End while Loop")
        crashes = self.host.count("GetUserSetting Error")
        self.assertEqual(0, client.quit())   # a normal end: MonitorEnd wakes the watch
        self.assertTrue(self.host.wait_log("End while Loop", 20, ends + 1))
        # The exit may be seen before the MonitorEnd is read: it still is no crash.
        self.assertEqual(crashes, self.host.count("GetUserSetting Error"))

    def test_the_clients_of_two_users_are_watched_independently(self):
        self.addCleanup(self.sim.write_scenario, logged_on=True)
        self.sim.write_scenario(logged_on=True, user="alice")
        alice = self.start_watched("--abrupt")
        self.sim.write_scenario(logged_on=True, user="bob")
        bob = self.start_watched("--normal")
        self.assertEqual(0, self.host.count("is registered already"))
        alice.quit()
        self.assertTrue(self.host.wait_log("The client process %d has ended." % alice.pid, 10))
        self.assertTrue(self.host.wait_log("[OutputInfo] GetUserSetting Error 0", 10))
        ticks = self.host.count("Continued ProcessCheck")
        self.assertTrue(self.host.wait_log("Continued ProcessCheck", 20, ticks + 1), "bob's watch stopped too")
        self.assertTrue(bob.running())
        wakes = self.host.count("APCFunc")
        crashes = self.host.count("GetUserSetting Error")
        ends = self.host.count("End while Loop")
        self.assertEqual(0, bob.quit())
        self.assertTrue(self.host.wait_log("APCFunc", 20, wakes + 1), "bob's MonitorEnd did not wake his watch")
        self.assertTrue(self.host.wait_log("End while Loop", 20, ends + 1))
        self.assertEqual(crashes, self.host.count("GetUserSetting Error"))

    def test_the_sender_of_a_message_reaches_the_analysis(self):
        self.assertEqual(0, self.host.client("loglevel", "1")[0])
        client = self.start_watched()
        self.assertTrue(self.host.wait_log("[InputInfo] Sender process id is %d" % client.pid, 20))
        lines = self.host.log_lines()
        image = [l for l in lines if "[InputInfo] Sender image is [" in l][-1]
        self.assertIn(r"c:\program files\nolvexconnect\nolvexconnect.exe]", image.lower())
        user = os.path.basename(os.path.dirname(os.path.dirname(self.host.user_app_data())))
        owner = [l for l in lines if "[InputInfo] Sender user is [" in l][-1]
        self.assertRegex(owner, r"\[(.*\\)?%s\] \(token kept\)" % user)
        report(image.split("[InputInfo] ", 1)[1] + " / " + owner.split("[InputInfo] ", 1)[1])


class StopWithWorkersTest(ServiceScenario):
    PREFIX = "wineprefix-service-stop-workers"
    TEST_BUILD = True
    PER_TEST = True
    BRING_UP = STARTED

    def test_a_stop_ends_a_watch_and_a_silent_worker_within_five_seconds(self):
        client = self.host.started_client(FOLDER, 0, 0, "--abrupt")
        self.addCleanup(client.finish)
        self.assertTrue(self.host.wait_log("Start while Loop", 20))
        workers = self.host.count("ThreadFunc")
        sender = self.host.prefix.start(r"C:\nolvex-tools\nc_svcctl.exe", "pipesend", PIPE, "30000", "LogLevel=1")
        self.addCleanup(lambda: sender.poll() is None and (sender.kill(), sender.wait()))
        self.assertTrue(self.host.wait_log("ThreadFunc", 20, workers + 1), "the silent client never connected")
        began = time.monotonic()
        rc, out = self.host.stop(20000)
        took = time.monotonic() - began
        report("stop with a watch and a silent worker took %.2f s" % took)
        self.assertEqual(0, rc, out)
        self.assertEqual(STOPPED, self.host.state())
        self.assertLess(took, 5.0)
        lines = self.host.log_lines()
        first = [i for i, l in enumerate(lines) if "Waiting for " in l and "workers to end" in l][-1]
        count = int(lines[first].split("Waiting for ", 1)[1].split()[0])
        self.assertGreaterEqual(count, 2)
        ended = [l for l in lines[first:] if "(client) has ended." in l or "(logon) has ended." in l]
        self.assertEqual(count, len(ended), lines[first:])
        self.assertTrue(any("Workers still running: 0." in l for l in lines[first:]))
        self.assertEqual(1, self.host.count("ends without end handling."))
        self.assertEqual(0, self.host.count("GetUserSetting Error"))
        self.assertTrue(client.running(), "the service must not end its client")


class PipeLoadTest(ServiceScenario):
    """The product build under load."""

    PREFIX = "wineprefix-service-load"

    def silent_clients(self, count, seconds):
        outputs = [tempfile.TemporaryFile() for _ in range(count)]
        procs = [self.host.start_client("--timeout", "30000", "--missing", "fail", "idle", str(seconds), output=out)
                 for out in outputs]

        def end():
            for proc in procs:
                if proc.poll() is None:
                    proc.kill()
                proc.wait()
            texts = []
            for out in outputs:
                out.seek(0)
                texts.append(out.read().decode("utf-8", "replace"))
                out.close()
            return texts
        return end

    def settle(self, sent_valid, timeout=60):
        return self.host.wait_log("ChangeRequestLogLevel", timeout, sent_valid)

    def assert_no_growth(self, before, after):
        threads, rss = after[0] - before[0], after[1] - before[1]
        self.assertLessEqual(threads, 1, "threads %d -> %d" % (before[0], after[0]))
        self.assertLess(rss, 4096, "resident memory %d kB -> %d kB" % (before[1], after[1]))

    def test_eleven_silent_clients_never_make_the_pipe_vanish_for_a_twelfth(self):
        end = self.silent_clients(11, 12)
        try:
            time.sleep(4)
            began = time.monotonic()
            rc, out = self.host.client("--timeout", "30000", "--missing", "fail", "raw", "LogLevel=1,twelfth")
            report("the twelfth client was served after %.1f s" % (time.monotonic() - began))
            self.assertEqual(0, rc, out)
            self.assertTrue(self.host.wait_log("ChangeRequestLogLevel", 20))
        finally:
            texts = end()
        for text in texts:
            self.assertNotIn("error 2 ", text)
        self.assertEqual(RUNNING, self.host.state())

    def flood(self, clients=200, streams=4):
        """Each stream sends clients/streams messages one after the other; every other one is
        malformed. Returns how many valid ones were sent."""
        failures, sent = [], []

        def stream(index):
            for i in range(clients // streams):
                if i % 2 == 0:
                    args = ("loglevel", "0")
                else:
                    args = [("hex", "ff fe 41"), ("raw", "monitorstart=1,2"), ("random", "300", str(i)),
                            ("raw", "Nonsense=%d" % i)][i // 2 % 4]
                rc, out = self.host.client("--timeout", "30000", *args)
                if i % 2 == 0:
                    (sent if rc == 0 else failures).append(out)

        threads = [threading.Thread(target=stream, args=(n,)) for n in range(streams)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual([], failures)
        return len(sent)

    def test_a_flood_of_clients_leaves_no_threads_or_memory_behind(self):
        base = self.host.count("ChangeRequestLogLevel")
        base += self.flood(clients=40)   # warm-up: heaps and the pipe pool reach their working size
        self.assertTrue(self.settle(base))
        time.sleep(2)
        before = self.host.unix_usage()
        valid = self.flood()
        self.assertTrue(self.settle(base + valid), "a valid message was lost")
        time.sleep(3)
        after = self.host.unix_usage()
        report("flood of 200 clients: threads %d -> %d, resident %d kB -> %d kB"
               % (before[0], after[0], before[1], after[1]))
        self.assertEqual(RUNNING, self.host.state())
        self.assert_no_growth(before, after)

    def test_the_measurement_catches_held_workers(self):
        # Ten silent clients hold ten workers, each with its thread and stack: the check that
        # passes after the flood must fail here.
        time.sleep(1)
        before = self.host.unix_usage()
        end = self.silent_clients(10, 8)
        try:
            winehelp.wait_for(lambda: self.host.unix_usage()[0] >= before[0] + 10, 20)
            during = self.host.unix_usage()
        finally:
            end()
        report("ten held workers: threads %d -> %d, resident %d kB -> %d kB"
               % (before[0], during[0], before[1], during[1]))
        with self.assertRaises(AssertionError):
            self.assert_no_growth(before, during)

    def test_watching_a_client_for_a_minute_costs_no_processor_time(self):
        client = self.host.started_client(FOLDER, 0, 0)
        self.addCleanup(client.finish)
        self.assertTrue(self.host.wait_log("Start while Loop", 20))
        time.sleep(2)
        before = self.host.unix_usage()[2]
        time.sleep(60)
        used = self.host.unix_usage()[2] - before
        report("processor time of the service while watching for 60 s: %.3f s" % used)
        self.assertTrue(client.running())
        self.assertLess(used, 0.1)


if __name__ == "__main__":
    unittest.main()
