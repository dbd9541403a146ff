"""The start-up proxy check: nobody logged on for five minutes, and a user who logs on meanwhile."""
import unittest

from servicehost import INSTALLED, ServiceScenario


class StartupPollTest(ServiceScenario):
    PREFIX = "wineprefix-service-poll"
    PER_TEST = True
    SCENARIO = None
    BRING_UP = INSTALLED

    def poll_lines(self):
        return [l for l in self.host.log_lines() if "Total waiting time logon is" in l]

    def test_a_user_logging_on_during_the_poll_ends_it_at_once(self):
        self.sim.write_scenario(logon_after_seconds=6)
        self.assertEqual(0, self.host.start()[0])
        self.assertTrue(self.host.wait_log("Start for Loop", 60))
        polls = len(self.poll_lines())
        self.assertGreaterEqual(polls, 4)
        self.assertLessEqual(polls, 12)
        self.assertEqual(0, self.host.count("Not logged on within the time limit."))
        self.assertEqual(1, self.host.count("Would restore the saved proxy settings of ["))


class StartupPollLimitTest(ServiceScenario):
    """The test build pauses 50 ms between polls instead of a second; the product's one-second
    pause and its 301 polls are shown by the unit tests of the service's timing."""

    PREFIX = "wineprefix-service-poll-limit"
    TEST_BUILD = True
    PER_TEST = True
    SCENARIO = None
    BRING_UP = INSTALLED

    def poll_lines(self):
        return [l for l in self.host.log_lines() if "Total waiting time logon is" in l]

    def test_nobody_logged_on_gives_up_after_301_attempts_and_then_serves(self):
        self.sim.write_scenario(logged_on=False)
        self.assertEqual(0, self.host.start()[0])
        self.assertTrue(self.host.wait_log("Not logged on within the time limit.", 400))
        polls = self.poll_lines()
        self.assertEqual(301, len(polls))
        self.assertTrue(polls[0].endswith("Total waiting time logon is 0 ms."))
        self.assertTrue(polls[-1].endswith("Total waiting time logon is 300000 ms."))
        self.assertTrue(self.host.wait_log("Start for Loop", 30))
        lines = self.host.log_lines()
        warn = [i for i, l in enumerate(lines) if "Not logged on within the time limit." in l][0]
        loop = [i for i, l in enumerate(lines) if "Start for Loop" in l][0]
        self.assertLess(warn, loop)
        self.assertIn("WARN   :", lines[warn])
        rc, out = self.host.client("raw", "LogLevel=0")
        self.assertEqual(0, rc, out)
        self.assertTrue(self.host.wait_log("ChangeRequestLogLevel", 20))


if __name__ == "__main__":
    unittest.main()
