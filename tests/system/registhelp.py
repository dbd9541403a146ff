"""A Wine prefix set up for the registration scenarios: install path, initialization file, user
setting, and the test client's register / notify-error / update module commands parsed."""
import base64
import os
import shutil
import sys

import ncclient
import winehelp

sys.path.insert(0, os.path.join(winehelp.SOURCE_DIR, "tests", "servers"))

INSTALL_KEY = r"HKLM\Software\Korvell\NolvexConnect"
PRODUCT_KEY = r"HKCU\Software\Korvell\NolvexConnect"
INSTALL_DIR_WIN = r"C:\Program Files\Korvell\NolvexConnect"
PROFILE = "TerminalRegist.xml"


def parse(out):
    """Output lines: "name=value" into a dict (the last one wins), other lines into a list."""
    values, other = {}, []
    for line in out.splitlines():
        name, sep, value = line.partition("=")
        if sep and " " not in name:
            values[name] = value
        else:
            other.append(line)
    return values, other


def ini_xml(**keys):
    body = "".join("<%s>%s</%s>\r" % (k, v, k) for k, v in keys.items())
    return "<Ini>\r" + body + "</Ini>\r"


class RegistPrefix:
    """One prefix for a test module; every test starts without profile and with a fresh user."""

    def __init__(self, name):
        self.prefix = winehelp.Prefix(name)

    def create(self):
        self.prefix.create(fresh=False)
        self.prefix.wine("cmd", "/c", "exit", timeout=300)
        self.prefix.reg_add(INSTALL_KEY, "Path", INSTALL_DIR_WIN, view32=True)
        os.makedirs(self.install_dir(), exist_ok=True)
        code, out, err = ncclient.run(self.prefix, "osinfo")
        assert code == 0, err
        self.app_data_win = parse(out)[0]["AppDataFolderPath"]

    def retire(self):
        self.prefix.retire()

    def install_dir(self):
        return self.prefix.drive_c(*INSTALL_DIR_WIN[3:].split("\\"))

    def app_data(self, *parts):
        return self.prefix.drive_c(*self.app_data_win[3:].rstrip("\\").split("\\"), *parts)

    def reset_user(self, nolvex_id="user1"):
        shutil.rmtree(self.app_data(), ignore_errors=True)
        self.prefix.reg_delete(PRODUCT_KEY, "TerminalProfile")
        self.prefix.reg_delete(PRODUCT_KEY, "UserSettingFile")
        if nolvex_id is not None:
            code, _, err = ncclient.run(self.prefix, "settings", "set", "NolvexID=" + nolvex_id)
            assert code == 0, err

    def write_ini(self, **keys):
        text = base64.b64encode(ini_xml(**keys).encode("utf-16-le")).decode("ascii")
        with open(os.path.join(self.install_dir(), "NolvexConnectIni.xml"), "wb") as f:
            f.write(text.encode("utf-16-le"))

    def client(self, *args, timeout=120):
        """(exit code, values, other lines, stderr) of one client command."""
        code, out, err = ncclient.run(self.prefix, *args, timeout=timeout)
        values, other = parse(out)
        return code, values, other, err

    def profile(self):
        """The stored profile as a fresh process loads it: the values, or None."""
        code, values, _, _ = self.client("profile", "show")
        return values if code == 0 and values.get("loaded") == "1" else None

    def profile_key(self):
        return parse(ncclient.run(self.prefix, "osinfo")[1])[0].get("TerminalProfileKeyInfo", "")

    def settings(self):
        return self.client("settings", "show")[1]

    def files(self):
        folder = self.app_data()
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []
