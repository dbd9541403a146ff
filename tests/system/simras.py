"""Scenario, journal and phonebook files of the rasapi32 simulator in a test prefix
(docs/simulators.md, "rasapi32").

    sim = SimRas(prefix)
    sim.reset()                                   # default scenario, no journal, entry or connection
    sim.write_scenario(devices="modem", dial_step_ms=10)
    sim.calls("RasHangUpW")                       # journal records of one call, oldest first
    sim.entry("system", "NolvexConnectDial")      # the entry's fields as written
"""
import json
import os
import shutil


class SimRas:
    """The simulator folder C:\\nolvex-sim\\rasapi32 of one prefix."""

    def __init__(self, prefix):
        self.folder = os.path.join(prefix.drive_c("nolvex-sim"), "rasapi32")

    def reset(self):
        if os.path.isdir(self.folder):
            shutil.rmtree(self.folder)

    def write_scenario(self, **values):
        os.makedirs(self.folder, exist_ok=True)
        with open(os.path.join(self.folder, "scenario.ini"), "w", encoding="utf-8") as handle:
            for key, value in values.items():
                handle.write("%s=%s\n" % (key, value))

    def journal(self):
        path = os.path.join(self.folder, "journal.txt")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as handle:
            text = handle.read()
        return [json.loads(line) for line in text.split("\n")[:-1] if line]

    def calls(self, call):
        return [record for record in self.journal() if record["call"] == call]

    def record(self, phonebook_id, entry, kind):
        """Fields of an entry's file: kind "entry", "dial" or "cred"; {} when there is none."""
        path = os.path.join(self.folder, "phonebooks", phonebook_id, entry + "." + kind)
        if not os.path.exists(path):
            return {}
        with open(path, encoding="utf-8") as handle:
            pairs = [line.split("=", 1) for line in handle.read().split("\n") if "=" in line]
        return dict(pairs)

    def connections(self):
        folder = os.path.join(self.folder, "connections")
        if not os.path.isdir(folder):
            return []
        return sorted(name for name in os.listdir(folder) if name.endswith(".conn"))
