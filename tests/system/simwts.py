"""Scenario and journal of the wtsapi32 simulator in a test prefix (docs/simulators.md, "wtsapi32").

    sim = SimWts(prefix)
    sim.reset()                                   # no scenario (one user logged on), empty journal
    sim.write_scenario(logged_on=False)           # nobody logged on
    sim.write_scenario(logon_after_seconds=5, user="alice")
    sim.messages()                                # WTSSendMessage records, oldest first
"""
import json
import os

from winehelp import wait_for

_KEYS = ("logged_on", "logon_after_seconds", "user", "domain", "message_response",
         "fail_enumerate", "fail_query_information", "fail_query_user_token", "fail_send_message")


class SimWts:
    """The simulator folder C:\\nolvex-sim\\wtsapi32 of one prefix (or of a root given by the test)."""

    def __init__(self, prefix, root=None):
        self.folder = os.path.join(root or prefix.drive_c("nolvex-sim"), "wtsapi32")
        self.scenario_path = os.path.join(self.folder, "scenario.ini")
        self.journal_path = os.path.join(self.folder, "journal.txt")

    def reset(self):
        """Default scenario and an empty journal."""
        for path in (self.scenario_path, self.journal_path):
            if os.path.exists(path):
                os.remove(path)

    def write_scenario(self, written_at=None, **values):
        """Writes scenario.ini with the given keys (see _KEYS); True/False become 1/0.

        The logon delay counts from the file's last-write time: written_at (seconds since the
        epoch) sets it, for example to a time in the past to say "logged on a while ago".
        """
        unknown = set(values) - set(_KEYS)
        if unknown:
            raise ValueError("unknown scenario keys: " + ", ".join(sorted(unknown)))
        os.makedirs(self.folder, exist_ok=True)
        lines = []
        for key, value in values.items():
            if value is None:
                continue
            if isinstance(value, bool):
                value = int(value)
            text = str(value)
            if "\n" in text or "\r" in text:
                raise ValueError(key + " must be one line")
            lines.append("%s=%s\n" % (key, text))
        tmp = self.scenario_path + ".tmp"
        with open(tmp, "w", encoding="utf-8", newline="") as f:
            f.writelines(lines)
        if written_at is not None:
            os.utime(tmp, (written_at, written_at))
        os.replace(tmp, self.scenario_path)   # readers never see half a scenario

    def remove_scenario(self):
        if os.path.exists(self.scenario_path):
            os.remove(self.scenario_path)

    def records(self, call=None):
        """Journal records as dicts, oldest first; a line still being written is left out."""
        try:
            with open(self.journal_path, "rb") as f:
                data = f.read()
        except FileNotFoundError:
            return []
        complete = data[:data.rfind(b"\n") + 1]
        result = [json.loads(line) for line in complete.decode("utf-8").splitlines() if line]
        if call is not None:
            prefixes = (call,) if isinstance(call, str) else tuple(call)
            result = [r for r in result if r["call"].startswith(prefixes)]
        return result

    def messages(self):
        """WTSSendMessageW/A records."""
        return self.records("WTSSendMessage")

    def token_queries(self):
        return self.records("WTSQueryUserToken")

    def wait_for_messages(self, count, timeout):
        """Waits until at least count messages are journalled; returns the messages."""
        wait_for(lambda: len(self.messages()) >= count, timeout)
        return self.messages()

    def clear_journal(self):
        if os.path.exists(self.journal_path):
            os.remove(self.journal_path)

