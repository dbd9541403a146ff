#!/usr/bin/env python3
"""How this project starts Wine: the one place that knows the loaders, the servers, the prefix kind
of each architecture and the environment every Wine process gets. cmake/wine-run, scripts/prefix,
scripts/build, scripts/test, bench/run, the demo and every Python test helper go through it.

    nolvexwine.py arch               the architecture to build and test: $NOLVEX_ARCH, else that of a
                                     configured $NOLVEX_BUILD_DIR, else what this machine runs
    nolvexwine.py env                the environment of the build folder's test prefix (eval it)
    nolvexwine.py ensure             create the test prefix once (safe to call concurrently)
    nolvexwine.py start              ensure, then keep the prefix warm with a detached sleeper
    nolvexwine.py stop               end every process of the prefix
    nolvexwine.py reset              stop, then remove the prefix
    nolvexwine.py run PROGRAM ARGS   ensure, then run PROGRAM in the prefix (stdin from /dev/null)

The build folder is $NOLVEX_BUILD_DIR, else the nearest folder at or above the current one that
holds a CMakeCache.txt. Its architecture is the one it was configured for.
"""
import fcntl
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

TOP_DIR = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

WINE_LIB = "/usr/lib/wine"


class WineKind:
    """The Wine of one architecture: its loader, its server and the prefix kind it runs."""

    def __init__(self, arch, winearch, loader, server):
        self.arch = arch
        self.winearch = winearch
        self.loader = os.path.join(WINE_LIB, loader)
        self.server = os.path.join(WINE_LIB, server)


# Debian's "wine" wrapper picks the 32-bit loader whenever wine32 is installed, and its "wineserver"
# wrapper the 64-bit server: name both explicitly so each architecture gets its own.
KINDS = {
    "i686": WineKind("i686", "win32", "wine", "wineserver32"),
    "x86_64": WineKind("x86_64", "win64", "wine64", "wineserver64"),
}

# The 32-bit probe: a machine that can execute this can run the win32 prefix. Tests and people
# override it (NOLVEX_32BIT_PROBE, a command line) to see both answers on either kind of machine.
DEFAULT_32BIT_PROBE = [os.path.join(WINE_LIB, "wineserver32"), "--version"]
PROBE_TIMEOUT = 30

# WinHTTP and WinINet fall back to these: a Wine process of ours must never leave loopback.
PROXY_VARIABLES = ("http_proxy", "https_proxy", "no_proxy", "all_proxy", "ftp_proxy",
                   "HTTP_PROXY", "HTTPS_PROXY", "NO_PROXY", "ALL_PROXY", "FTP_PROXY")

# The test prefix of a build folder, used by ctest and the benchmarks, and the simulators it
# selects through DllOverrides (the DLL itself sits in the program's folder).
TEST_PREFIX_NAME = "wineprefix"
TEST_PREFIX_OVERRIDES = ("wtsapi32", "rasapi32", "NolvexConnectProxyReset.exe:wininet", "NolvexConnect.exe:wininet", "proxy_tests.exe:wininet")
SLEEPER = "nc_sleeper.exe"
SLEEPER_SECONDS = 7200
SLEEPER_START_TIMEOUT = 60
READY_MARKER = ".nolvex-ready"


class HarnessError(Exception):
    pass


def probe_can_run_32bit():
    """True when this machine executes the 32-bit probe program successfully."""
    command = os.environ.get("NOLVEX_32BIT_PROBE")
    argv = shlex.split(command) if command else DEFAULT_32BIT_PROBE
    try:
        result = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=PROBE_TIMEOUT, check=False)
    except (OSError, subprocess.TimeoutExpired):
        return False   # "Exec format error", missing, or hanging: no 32-bit processes here
    return result.returncode == 0


def default_arch():
    """NOLVEX_ARCH when set; otherwise i686 where 32-bit processes run, x86_64 where they do not."""
    arch = os.environ.get("NOLVEX_ARCH")
    if arch:
        if arch not in KINDS:
            raise HarnessError("NOLVEX_ARCH must be one of %s, not %r" % ("|".join(KINDS), arch))
        return arch
    return "i686" if probe_can_run_32bit() else "x86_64"


def default_build_dir(arch=None):
    """The build folder of an architecture: $NOLVEX_BUILD_DIR or build/<arch> of the checkout."""
    return os.environ.get("NOLVEX_BUILD_DIR") or os.path.join(TOP_DIR, "build", arch or default_arch())


def find_build_dir(start=None):
    """$NOLVEX_BUILD_DIR, else the nearest configured build folder at or above start."""
    if os.environ.get("NOLVEX_BUILD_DIR"):
        return os.path.abspath(os.environ["NOLVEX_BUILD_DIR"])
    folder = os.path.abspath(start or os.getcwd())
    while True:
        if os.path.isfile(os.path.join(folder, "CMakeCache.txt")):
            return folder
        parent = os.path.dirname(folder)
        if parent == folder:
            raise HarnessError("no build folder at or above " + (start or os.getcwd()))
        folder = parent


def build_arch(build_dir):
    """The architecture a build folder was configured for (its CMake cache), or None."""
    try:
        with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8", errors="replace") as cache:
            for line in cache:
                if line.startswith("NOLVEX_ARCH:"):
                    return line.split("=", 1)[1].strip()
    except OSError:
        pass
    return None


def wine_environment(kind, prefix_path, base=None):
    """The environment of a Wine process of this project: the prefix and its kind, the explicit
    loader and server, no debug channels, no proxy variables, no DllOverrides from outside."""
    env = dict(os.environ if base is None else base)
    for name in PROXY_VARIABLES + ("WINEDLLOVERRIDES",):
        env.pop(name, None)
    env.update(WINEPREFIX=prefix_path, WINEARCH=kind.winearch, WINELOADER=kind.loader,
               WINESERVER=kind.server, WINEDEBUG="-all")
    return env


class Prefix:
    """A Wine prefix inside a build folder, of the kind of that folder's architecture.

    Creating it is serialised by a lock beside it and finished by a marker inside it, so that any
    number of callers may ask for the same prefix at once and only one boots it."""

    def __init__(self, name, build_dir=None):
        self.build_dir = os.path.abspath(build_dir or default_build_dir())
        arch = build_arch(self.build_dir) or default_arch()
        if arch not in KINDS:
            raise HarnessError("unknown architecture %r in %s" % (arch, self.build_dir))
        self.kind = KINDS[arch]
        self.name = name
        self.path = os.path.join(self.build_dir, name)
        self.env = wine_environment(self.kind, self.path)

    # --- paths ---------------------------------------------------------------------------------
    def drive_c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def argv(self, *args):
        """The command line that runs a Windows program (or Wine tool) in this prefix."""
        return [self.kind.loader, *args]

    # --- making it -----------------------------------------------------------------------------
    def is_ready(self):
        return os.path.isfile(os.path.join(self.path, READY_MARKER))

    def applied_overrides(self):
        """The simulator overrides the ready marker records as set."""
        try:
            with open(os.path.join(self.path, READY_MARKER), encoding="utf-8") as marker:
                return set(marker.read().split())
        except OSError:
            return set()

    def create(self, fresh=True, overrides=()):
        """Boots the prefix unless a finished one is there (fresh=True always boots a new one) and
        selects the given simulator DLLs (also in a finished prefix that lacks one: a simulator added
        later reaches existing build folders). wineboot is waited for with the server's -w:
        otherwise two service managers can run in the new prefix."""
        os.makedirs(self.build_dir, exist_ok=True)
        with open(self.path + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            booted = fresh or not self.is_ready()
            if booted:
                self.remove()
                self.boot()
            applied = self.applied_overrides()
            missing = [dll for dll in overrides if dll not in applied]
            if missing or booted:
                for dll in missing:
                    self.set_dll_override(dll)
                if booted:
                    self.wait()   # never in a running prefix: its sleeper may live for hours
                with open(os.path.join(self.path, READY_MARKER), "w", encoding="utf-8") as marker:
                    marker.write(" ".join(sorted(applied | set(missing))))

    def boot(self):
        """wineboot into an empty folder; its own words and the free space explain a failure."""
        boot_env = dict(self.env, WINEDLLOVERRIDES="mscoree,mshtml=")
        with tempfile.TemporaryFile() as err:
            subprocess.run(self.argv("wineboot", "-i"), env=boot_env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=err, check=False)
            self.wait()
            if os.path.isfile(os.path.join(self.path, "system.reg")):
                return
            err.seek(0)
            said = err.read().decode("utf-8", "replace").strip().splitlines()[-5:]
        free = shutil.disk_usage(self.build_dir).free // (1024 * 1024)
        raise HarnessError("wineboot made no prefix at %s (%d MiB free there)%s" % (
            self.path, free, "".join("\n  wineboot: " + line for line in said)))

    def remove(self):
        if os.path.isdir(self.path):
            self.kill()
            shutil.rmtree(self.path)

    def retire(self):
        """Ends the prefix's processes and removes it once its tests are done. A prefix weighs
        over half a gigabyte (win32) or more than a gigabyte (win64): a suite that kept one per
        scenario would fill the disk. NOLVEX_KEEP_PREFIXES=1 keeps them to look into a failure."""
        if os.environ.get("NOLVEX_KEEP_PREFIXES") == "1":
            self.kill()
        else:
            self.remove()

    # --- running programs ----------------------------------------------------------------------
    def wine(self, *args, check=False, timeout=120, env_extra=None, **kw):
        """Runs a Windows program to its end. Its output goes through files, not pipes: a call that
        happens to start the prefix's services would hand them the pipes, and they would hold them
        open long after the call has ended."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            env = dict(self.env, **(env_extra or {}))
            res = subprocess.run(self.argv(*args), env=env, stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=err, timeout=timeout, check=False, **kw)
            out.seek(0)
            err.seek(0)
            res.stdout, res.stderr = out.read(), err.read()
        if check and res.returncode != 0:
            raise subprocess.CalledProcessError(res.returncode, res.args, res.stdout, res.stderr)
        return res

    def start(self, *args, env_extra=None, **kw):
        """Starts a Windows program in the background, in a session of its own; the caller ends it."""
        options = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       start_new_session=True)
        options.update(kw)
        return subprocess.Popen(self.argv(*args), env=dict(self.env, **(env_extra or {})), **options)

    def start_sleeper(self, program, seconds):
        """Starts the sleeper (sim/sleeper) and returns once it runs. While it lives the prefix stays
        warm and Wine keeps the service manager alive. Watched in /proc, so that waiting starts no
        further Wine process."""
        process = self.start(program, str(seconds))
        deadline = time.monotonic() + SLEEPER_START_TIMEOUT
        while not self.sleeper_running():
            if process.poll() is not None:
                raise HarnessError("the sleeper ended at once (exit %d)" % process.returncode)
            if time.monotonic() > deadline:
                raise HarnessError("the sleeper did not start within %d s" % SLEEPER_START_TIMEOUT)
            time.sleep(0.1)
        return process

    def sleeper_running(self):
        marker = ("WINEPREFIX=" + self.path).encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    if SLEEPER.encode() not in f.read():
                        continue
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if marker in f.read().split(b"\0"):
                        return True
            except OSError:
                continue
        return False

    # --- registry ------------------------------------------------------------------------------
    def reg_add(self, key, name, value, kind="REG_SZ", view32=False):
        """Sets a value with Wine's reg. view32 writes the 32-bit view, where the product keeps its
        keys; in a win64 prefix the 64-bit reg would otherwise write the other view."""
        view = ["/reg:32"] if view32 else []
        self.wine("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f", *view, check=True)

    def reg_delete(self, key, name=None, view32=False):
        """Deletes a value (or, without a name, the key); a missing one is no error."""
        target = ["/v", name] if name is not None else []
        view = ["/reg:32"] if view32 else []
        self.wine("reg", "delete", key, *target, "/f", *view)

    def set_dll_override(self, dll, mode="native,builtin"):
        """"name" for every program, "program.exe:name" for that program only (Wine's AppDefaults),
        so that Wine's own DLLs that import the library keep the builtin."""
        program, _, name = dll.rpartition(":")
        key = r"HKCU\Software\Wine\AppDefaults\%s\DllOverrides" % program if program else r"HKCU\Software\Wine\DllOverrides"
        self.reg_add(key, name, mode)

    # --- the server ----------------------------------------------------------------------------
    def wait(self):
        """Waits until every process of the prefix has ended and its server has gone."""
        subprocess.run([self.kind.server, "-w"], env=self.env, stdin=subprocess.DEVNULL, check=False)

    def kill(self):
        """Ends every process of this prefix (and only of this prefix) and waits for the server."""
        subprocess.run([self.kind.server, "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        self.wait()

    def shell_environment(self):
        """The environment as shell lines, for eval."""
        lines = ["unset %s" % " ".join(PROXY_VARIABLES + ("WINEDLLOVERRIDES",))]
        for name in ("WINEPREFIX", "WINEARCH", "WINELOADER", "WINESERVER", "WINEDEBUG"):
            lines.append("export %s=%s" % (name, shlex.quote(self.env[name])))
        return "\n".join(lines)


def test_prefix(build_dir=None):
    return Prefix(TEST_PREFIX_NAME, build_dir or find_build_dir())


def main(argv):
    if not argv:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    command, rest = argv[0], argv[1:]
    if command == "arch":
        configured = os.environ.get("NOLVEX_BUILD_DIR") and build_arch(os.environ["NOLVEX_BUILD_DIR"])
        print(os.environ.get("NOLVEX_ARCH") and default_arch() or configured or default_arch())
        return 0
    prefix = test_prefix()
    if command == "env":
        print(prefix.shell_environment())
    elif command == "ensure":
        prefix.create(fresh=False, overrides=TEST_PREFIX_OVERRIDES)
    elif command == "start":
        prefix.create(fresh=False, overrides=TEST_PREFIX_OVERRIDES)
        prefix.start_sleeper(os.path.join(prefix.build_dir, "bin", SLEEPER), SLEEPER_SECONDS)
    elif command == "stop":
        prefix.kill()
    elif command == "reset":
        prefix.remove()
    elif command == "run" and rest:
        prefix.create(fresh=False, overrides=TEST_PREFIX_OVERRIDES)
        devnull = os.open(os.devnull, os.O_RDONLY)
        os.dup2(devnull, 0)
        os.execve(prefix.kind.loader, prefix.argv(*rest), prefix.env)
    else:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except HarnessError as error:
        print("nolvexwine: %s" % error, file=sys.stderr)
        sys.exit(2)
