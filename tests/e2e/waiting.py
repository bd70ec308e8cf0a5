"""Steps, waits with deadlines and a display of its own for the Python end-to-end tests; the
shell scripts' counterpart is wait.sh. PUZZLE_TEST_SLOWDOWN multiplies every deadline."""
import os
import subprocess
import sys
import tempfile
import time

SLOWDOWN = float(os.environ.get("PUZZLE_TEST_SLOWDOWN", "1"))
_started = time.monotonic()
step_name = "start"


class Failure(Exception):
    pass


def step(name):
    """Names the step the test is in (printed with the time, and in a failure)."""
    global step_name
    step_name = name
    print("-- [%d s] %s" % (time.monotonic() - _started, name), flush=True)


def fail(message):
    raise Failure("in step '%s' after %d s: %s" % (step_name, time.monotonic() - _started, message))


def until(seconds, what, check):
    """Calls check() until it returns (value, None); it returns (None, what it saw) otherwise.
    After `seconds` (scaled) fails with what it waited for and what the last check saw."""
    deadline = time.monotonic() + seconds * SLOWDOWN
    while True:
        value, seen = check()
        if seen is None:
            return value
        if time.monotonic() > deadline:
            fail("waited %d s for %s; the last check saw: %s" % (seconds * SLOWDOWN, what, seen))
        time.sleep(0.1)


def run(*args):
    """Runs a tool; fails with its own message when it fails."""
    r = subprocess.run([str(a) for a in args], capture_output=True, text=True)
    if r.returncode != 0:
        fail("%s ended with %d: %s" % (" ".join(map(str, args)), r.returncode, (r.stderr or r.stdout).strip()))
    return r.stdout


class OwnDisplay:
    """An Xvfb of this test alone; DISPLAY points at it while it runs."""

    def __enter__(self):
        self.folder = tempfile.mkdtemp(prefix="xvfb.")
        read, write = os.pipe()
        self.log = open(os.path.join(self.folder, "log"), "wb")
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten",
                                      "tcp", "-noreset"], pass_fds=(write,), stdout=self.log, stderr=subprocess.STDOUT)
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as r:
            while not number.endswith(b"\n"):
                byte = r.read(1)
                if not byte:
                    break
                number += byte
        if not number.strip():
            self.__exit__()
            raise Failure("Xvfb did not start: " + open(os.path.join(self.folder, "log")).read())
        os.environ["DISPLAY"] = ":" + number.decode().strip()
        os.environ.pop("XAUTHORITY", None)
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.log.close()
        subprocess.run(["rm", "-rf", self.folder])
        return False
