"""The main window on a private desktop: its windows (xdotool), their places, the tray icon and its
menu, and controls found through assistive technology."""
import os
import shutil
import subprocess
import time
import uuid

from guitest.session import XSession

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
PLAYING_WINDOW_WIDTH = 420
TABS = [("视频文件", "视频预览区"), ("真实摄像头", "预览真实摄像头"), ("图像", "效果区"), ("捕获屏幕", "效果区")]
BUTTONS = ["录制视频", "参数设置", "帮助", "隐藏视频图像窗口"]


def visible_windows(session, title):
    out = session.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title])
    return [int(w) for w in out.split()]


def all_windows(session, title):
    """Mapped or not: a window of a deleted pair is gone from both lists."""
    out = session.run(["xdotool", "search", "--name", "^%s$" % title])
    return [int(w) for w in out.split()]


def geometry(session, window):
    values = {}
    for line in session.run(["xdotool", "getwindowgeometry", "--shell", str(window)]).split():
        key, _, value = line.partition("=")
        values[key] = int(value)
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


def stacking(session):
    """Managed windows from bottom to top."""
    out = session.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"])
    return [int(w, 16) for w in out.split("#", 1)[1].replace(",", " ").split()]


def one_window(session, title):
    XSession.wait_for(lambda: len(visible_windows(session, title)) == 1, "one visible window " + title)
    return visible_windows(session, title)[0]


def assert_docked(session, main, playing):
    mx, my, mw, mh = geometry(session, main)
    px, py, pw, ph = geometry(session, playing)
    assert (px, py, pw, ph) == (mx + mw, my, PLAYING_WINDOW_WIDTH, mh), \
        "main %s, playing window %s" % ((mx, my, mw, mh), (px, py, pw, ph))


def find(root, role, name):
    """The first accessible below `root` named `name` with the role `role` (or one of a tuple)."""
    import pyatspi
    roles = (role,) if isinstance(role, str) else role
    found = pyatspi.utils.findDescendant(
        root, lambda a: a is not None and a.name == name and {a.getRoleName(), a.getLocalizedRoleName()} & set(roles),
        breadth_first=True)
    assert found is not None, "no %s named %r" % (role, name)
    return found


def wait_find(root, role, name):
    found = []

    def look():
        try:
            found[:] = [find(root, role, name)]
            return True
        except Exception:  # not there yet, or the tree changed while it was walked
            return False
    XSession.wait_for(look, "%s %r through assistive technology" % (role, name))
    return found[0]


def press(accessible):
    actions = accessible.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    assert "Press" in names, "%r has actions %s" % (accessible.name, names)
    actions.doAction(names.index("Press"))


class Kalimo:
    """A program folder, a working folder and a frame section of its own for each test run."""

    def __init__(self, session, program):
        self.session = session
        self.program = program
        self.folder = os.path.join(session.home, "program")
        self.work = os.path.join(session.home, "work")
        os.makedirs(self.folder)
        os.makedirs(self.work)
        built = os.path.dirname(program)
        for name in ("Bitmap", "Image", "kalimo.png"):
            os.symlink(os.path.join(built, name), os.path.join(self.folder, name))
        with open(os.path.join(self.folder, "config.ini"), "w", encoding="utf-8") as ini:
            ini.write("[usingsetting]\nresourcespath=%s\n" % os.path.join(session.home, "storage"))
        shutil.copy(os.path.join(built, "log4trovella.properties"), self.work)
        self.section = "kalimo-main-window-test-" + uuid.uuid4().hex
        self.env = dict(session.env, KALIMO_PROGRAM_DIR=self.folder, KALIMO_SECTION=self.section,
                        XDG_DATA_HOME=os.path.join(session.home, "data"), LANG="C.UTF-8",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")

    def start(self):
        return self.session.start([self.program], env=self.env, cwd=self.work, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)

    def log(self):
        with open(os.path.join(self.folder, "kalimo.log"), encoding="utf-8") as text:
            return text.read()


def tray_icon(session):
    """The centre of the icon in trayer's panel, once the icon is embedded there."""
    def panel():
        windows = [int(w) for w in session.run(["xdotool", "search", "--name", "^panel$"]).split()]
        return [geometry(session, w) for w in windows if geometry(session, w)[2] >= 16]
    XSession.wait_for(lambda: panel(), "the tray icon in the panel")
    x, y, w, h = panel()[0]
    return x + w // 2, y + h // 2


def tray_menu(session):
    """The tray icon's menu while it is open: a small window of the program above the panel."""
    for window in session.run(["xdotool", "search", "--onlyvisible", "--class", "kalimo"]).split():
        x, y, w, h = geometry(session, window)
        if 60 < w < 260 and 40 < h < 120:
            return window
    return None


def open_tray_menu(session):
    """Right-clicks the tray icon until its menu shows: on a loaded machine a click can come before
    the tray host has mapped the icon again, and nothing opens."""
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        click(session, tray_icon(session), 3)
        for _ in range(50):
            if tray_menu(session):
                return
            time.sleep(0.1)
    raise AssertionError("timed out waiting for the tray icon's menu")


def click(session, point, button=1):
    session.run(["xdotool", "mousemove", str(point[0]), str(point[1]), "click", str(button)])
