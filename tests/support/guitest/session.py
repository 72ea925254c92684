"""A private X display (Xvfb on a free display number, optionally with openbox) and the gallery
program running on it, for tests that drive the skinned windows from outside."""
import os
import queue
import shutil
import subprocess
import tempfile
import threading
import time


def remove_section(name):
    """Removes the frame section a test's program left behind: a program ended with its session
    (killed) never removes its own, and each is 18 MB of the machine's shared memory."""
    try:
        os.unlink("/dev/shm/" + name.lstrip("/"))
    except FileNotFoundError:
        pass


class XSession:
    """Xvfb on the first free display number (it picks one itself), optionally with openbox."""

    def __init__(self, window_manager=True, size="1024x768x24"):
        self.processes = []
        self.home = tempfile.mkdtemp(prefix="kalimo-gui-")
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size, "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        self.processes.append(xvfb)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display, HOME=self.home, XDG_CONFIG_HOME=self.home,
                        XDG_RUNTIME_DIR=self.home, QT_QPA_PLATFORM="xcb")
        if window_manager:
            self.start(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.wait_for(lambda: self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]).find("window id") >= 0,
                          "openbox to manage the display")

    def start(self, command, **kwargs):
        process = subprocess.Popen(command, env=kwargs.pop("env", self.env), **kwargs)
        self.processes.append(process)
        return process

    def run(self, command):
        return subprocess.run(command, env=self.env, capture_output=True, text=True, check=False).stdout

    @staticmethod
    def wait_for(condition, what, timeout=60.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if condition():
                return
            time.sleep(0.1)
        raise AssertionError("timed out waiting for " + what)

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Gallery:
    """The gallery program on a session; its output lines (one per user action) are collected."""

    def __init__(self, session, program, extra_env=None):
        env = dict(session.env, **(extra_env or {}))
        self.process = session.start([program], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.expect("ready")

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def expect(self, wanted, timeout=60.0):
        """Waits for the output line `wanted`; earlier other lines are skipped."""
        deadline = time.monotonic() + timeout
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise AssertionError("the gallery did not print %r" % wanted)
            try:
                line = self.lines.get(timeout=remaining)
            except queue.Empty:
                continue
            if line == wanted:
                return
