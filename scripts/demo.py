"""The demo's timeline: the service in a fresh prefix, driven by the test client."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "system"))

import simwts  # noqa: E402
from servicehost import ServiceHost, SERVICE  # noqa: E402

STATES = {1: "stopped", 2: "start pending", 3: "stop pending", 4: "running"}
began = time.monotonic()


def say(text):
    print("[%6.1f s] %s" % (time.monotonic() - began, text), flush=True)


def main():
    host = ServiceHost("wineprefix-demo")
    say("making a fresh Wine prefix and installing the service into C:\\Program Files\\NolvexConnect")
    host.create()
    try:
        simwts.SimWts(host.prefix).write_scenario(logged_on=True, user="demo.user")
        rc = host.run_monitor("/Service").returncode
        say("NolvexConnectMonitor.exe /Service -> %d" % rc)
        rc, out = host.start()
        say("service started: %s" % STATES.get(host.state(), out))
        host.wait_log("Start for Loop", 60)
        say("a client starts, is watched, and ends normally with MonitorEnd")
        host.client("start", r"C:\users\demo.user\NolvexConnect", "0", "1", "--normal", "--stay", "2")
        host.wait_log("End while Loop", 20)
        for args in (["loglevel", "1"], ["raw", "Hello=world"], ["rollback"], ["loglevel", "0"]):
            rc, out = host.client(*args)
            say("test client %s -> exit %d" % (" ".join(args), rc))
            time.sleep(1)
        rc, out = host.client("osinfo")
        info = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        say("test client osinfo -> exit %d: %s" % (rc, ", ".join(
            "%s=%s" % (key, info.get(key, "")) for key in ("OSVersion", "ComputerName", "ModuleName", "AppDataFolderPath"))))
        rc, out = host.client("settings", "set", "NolvexID=demo.user", "LastConnectType=1")
        say("test client settings set NolvexID=demo.user LastConnectType=1 -> exit %d" % rc)
        rc, out = host.client("settings", "show")
        say("test client settings show -> exit %d: %s" % (rc, ", ".join(
            line for line in out.splitlines() if line.split("=")[0] in ("Read", "NolvexID", "LastConnectType"))))
        messages = simwts.SimWts(host.prefix).messages()
        for record in messages:
            say("message box in session %s: %r" % (record.get("session"), record.get("message")))
        rc, out = host.stop()
        say("service stopped: %s" % STATES.get(host.state(), out))
        print("\n--- the service's trace log (%s) ---" % ", ".join(os.path.basename(p) for p in host.log_files()))
        for line in host.log_lines():
            print(line)
    finally:
        host.destroy()
        say("prefix ended: no Wine process left")


if __name__ == "__main__":
    main()
