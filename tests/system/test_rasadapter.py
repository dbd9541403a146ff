"""The RAS adapter across processes: the test client dials in one process, later processes find
the connection, hang it up and see it gone, as the service does after a client crash."""
import os
import unittest

from simras import SimRas
from winehelp import BIN_DIR, Prefix

CLIENT = os.path.join(BIN_DIR, "NolvexConnect.exe")


class RasAdapterAcrossProcessesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("wineprefix-rasadapter")
        cls.prefix.create(fresh=False)
        cls.prefix.set_dll_override("rasapi32")
        cls.sim = SimRas(cls.prefix)

    @classmethod
    def tearDownClass(cls):
        cls.sim.reset()
        cls.prefix.retire()

    def setUp(self):
        self.sim.reset()

    def ras(self, *args):
        result = self.prefix.wine(CLIENT, "ras", *args)
        return result.returncode, result.stdout.decode("utf-8").splitlines()

    def test_connection_dialled_by_one_process_is_found_and_hung_up_by_another(self):
        code, out = self.ras("dial", "type=1", "user=u1", "password=pw-one", "destination=0311112222")
        self.assertEqual((0, "result=0"), (code, out[-1]))
        # The dialling process has ended; the connection lives on.
        code, out = self.ras("list")
        self.assertEqual(0, code)
        self.assertIn("connected_entry=NolvexConnectDial", out)
        code, out = self.ras("status", "entry=NolvexConnectDial")
        self.assertIn("connected=1", out)

        code, out = self.ras("hangup", "entry=NolvexConnectDial")
        self.assertEqual((0, "result=0"), (code, out[-1]))
        code, out = self.ras("status", "entry=NolvexConnectDial")
        self.assertIn("connected=0", out)
        hangups = self.sim.calls("RasHangUpW")
        self.assertEqual(1, len(hangups))
        dial_pid = self.sim.calls("RasDialW")[0]["pid"]
        self.assertNotEqual(dial_pid, hangups[0]["pid"])
        self.assertNotIn("password", self.sim.record("system", "NolvexConnectDial", "dial"))
        self.assertEqual([], self.sim.connections())

    def test_failed_dial_in_a_process_leaves_no_connection_for_the_next(self):
        self.sim.write_scenario(dial_fail_state=5, dial_fail_error=691)
        code, out = self.ras("dial", "type=1", "user=u1", "password=pw", "destination=03")
        self.assertEqual(3, code)
        self.assertEqual("result=6268", out[-1])
        code, out = self.ras("status")
        self.assertIn("connected=0", out)

    def test_entry_command_writes_the_entry_without_dialling(self):
        code, out = self.ras("entry", "type=1", "destination=0399", "dns=1", "dns1=10.0.0.1", "dns2=10.0.0.2")
        self.assertEqual((0, "result=0"), (code, out[-1]))
        entry = self.sim.record("system", "NolvexConnectDial", "entry")
        self.assertEqual("10.0.0.1", entry["ipaddrDns"])
        self.assertEqual("10.0.0.2", entry["ipaddrDnsAlt"])
        self.assertEqual([], self.sim.calls("RasDialW"))
        self.assertEqual(2, self.ras("entry", "dns1=300.1.1.1")[0])


if __name__ == "__main__":
    unittest.main()
