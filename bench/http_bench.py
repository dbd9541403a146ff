#!/usr/bin/env python3
"""Runs http_bench.exe in the build folder's test prefix against a loopback mock server: a
registration-sized POST answer and a 20 MB attachment. Prints the bench's own lines."""
import os
import shutil
import sys

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(TOP, "scripts"))
sys.path.insert(0, os.path.join(TOP, "tests", "servers"))
import nolvexwine  # noqa: E402
from mockhttp import MockServer, Reply  # noqa: E402

DOWNLOAD_BYTES = 20 * 1024 * 1024
REGIST_ANSWER = b"<?xml version=\"1.0\"?>\r<result>\r  <code>0</code>\r" + b"  <v>0123456789</v>\r" * 100 + b"</result>\r"


def main():
    build = os.path.abspath(nolvexwine.default_build_dir())
    prefix = nolvexwine.test_prefix(build)
    prefix.create(fresh=False, overrides=nolvexwine.TEST_PREFIX_OVERRIDES)
    folder = prefix.drive_c("http-bench")
    os.makedirs(folder, exist_ok=True)
    payload = bytes(range(256)) * (DOWNLOAD_BYTES // 256)
    with MockServer() as server:
        server.script("/regist", Reply(200, REGIST_ANSWER, headers={"Content-Type": "text/xml"}))
        server.script("/update", Reply(200, payload, headers={"Content-Disposition": 'attachment; filename="update.zip"'}))
        result = prefix.wine(os.path.join(build, "bin", "http_bench.exe"), server.url("/regist"), server.url("/update"),
                             "C:\\http-bench", timeout=1200)
    sys.stdout.write(result.stdout.decode("utf-8", "replace"))
    sys.stderr.write(result.stderr.decode("utf-8", "replace")[-2000:])
    shutil.rmtree(folder, ignore_errors=True)
    return result.returncode


if __name__ == "__main__":
    sys.exit(main())
