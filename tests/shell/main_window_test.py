"""kalimo's main window as a user meets it, on a private X display with openbox and a tray (trayer),
driven by the mouse (xdotool) and by assistive technology over a private AT-SPI bus: start-up with
the docked playing window, a second start, hiding to the tray and coming back, tab switches, the
settings button, and the exit question.

usage: dbus-run-session -- main_window_test.py KALIMO_PROGRAM"""
import os
import shutil
import subprocess
import sys
import time
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows", "skin"))
from gui_session import XSession  # noqa: E402

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


def main():
    program = os.path.abspath(sys.argv[1])
    assert "DBUS_SESSION_BUS_ADDRESS" in os.environ, "run under dbus-run-session"
    with XSession(window_manager=True) as session:
        os.environ["DISPLAY"] = session.display
        session.start([BUS_LAUNCHER, "--launch-immediately"], stderr=subprocess.DEVNULL)
        session.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"],
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        XSession.wait_for(lambda: session.run(["xdotool", "search", "--name", "^panel$"]).strip(), "trayer")
        kalimo = Kalimo(session, program)
        first = kalimo.start()

        # Start: the main window and the video tab's playing window docked at its right edge.
        main_window = one_window(session, "Kalimo")
        playing = one_window(session, "视频预览区")
        XSession.wait_for(lambda: geometry(session, playing)[0] > 0, "the playing window in place")
        assert_docked(session, main_window, playing)

        import pyatspi
        desktop = pyatspi.Registry.getDesktop(0)
        apps = []
        XSession.wait_for(lambda: apps.extend(a for a in desktop if a is not None and a.name == "Kalimo") or apps,
                          "kalimo on the accessibility bus")
        app = apps[0]
        for caption in BUTTONS + ["最小化", "关闭"]:
            find(app, "push button", caption)
        for text, _ in TABS:
            find(app, "page tab", text)

        # A second start: still one main window, and the first comes above a window that covered it.
        cover = session.start(["xmessage", "-geometry", "700x600+100+50", "covering the main window"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        XSession.wait_for(lambda: session.run(["xdotool", "search", "--name", "^xmessage$"]).strip(), "xmessage")
        cover_window = int(session.run(["xdotool", "search", "--name", "^xmessage$"]).split()[0])
        XSession.wait_for(lambda: stacking(session).index(cover_window) > stacking(session).index(main_window),
                          "the cover above the main window")
        second = kalimo.start()
        assert second.wait(timeout=60) == 0
        assert first.poll() is None
        assert len(visible_windows(session, "Kalimo")) == 1
        XSession.wait_for(lambda: stacking(session).index(main_window) > stacking(session).index(cover_window),
                          "the first main window raised above the cover")
        assert "brought to the front" in kalimo.log()
        cover.terminate()
        cover.wait()

        # Minimise: every window hidden, the icon in the tray; a click on it brings all three back.
        press(find(app, "push button", "最小化"))
        XSession.wait_for(lambda: not visible_windows(session, "Kalimo") and not visible_windows(session, "视频预览区"),
                          "the windows hidden to the tray")
        icon = tray_icon(session)
        assert first.poll() is None
        click(session, icon)
        main_window = one_window(session, "Kalimo")
        playing = one_window(session, "视频预览区")
        assert_docked(session, main_window, playing)
        find(app, "push button", "隐藏视频图像窗口")  # the playing window's button offers to hide it

        # The preview window's own close button hides it; "显示视频图像窗口" brings it back whole,
        # with every control of its bar, which still works.
        preview = wait_find(app, ("dialog", "frame", "window"), "视频预览区")
        press(find(preview, "push button", "关闭"))
        XSession.wait_for(lambda: not visible_windows(session, "视频预览区"), "the preview window hidden")
        press(find(app, "push button", "显示视频图像窗口"))
        one_window(session, "视频预览区")
        for role, caption in (("slider", "播放进度"), ("slider", "音量"), ("push button", "停止"),
                              ("push button", "静音"), ("push button", "快进"), ("push button", "快退")):
            control = wait_find(preview, role, caption)
            XSession.wait_for(lambda: control.getState().contains(pyatspi.STATE_SHOWING), caption + " shown")
        press(find(preview, "push button", "停止"))
        wait_find(preview, "label", "停止播放视频")
        find(app, "push button", "隐藏视频图像窗口")

        # The settings button, pressed through assistive technology, opens the settings dialog.
        press(find(app, "push button", "参数设置"))
        settings = one_window(session, "Setting")
        session.run(["xdotool", "windowactivate", "--sync", str(settings), "key", "Escape"])
        XSession.wait_for(lambda: not visible_windows(session, "Setting"), "the settings dialog closed")

        # Tab switches: the old pair goes, the new one comes docked; the current tab restarts nothing.
        previous = playing
        for text, caption in TABS[1:] + TABS[:1]:
            press(find(app, "page tab", text))
            XSession.wait_for(lambda: previous not in all_windows(session, caption) and
                              len(visible_windows(session, caption)) == 1 and
                              previous not in all_windows(session, "视频预览区|预览真实摄像头|效果区"),
                              "the pair of tab " + text)
            playing = one_window(session, caption)
            assert all_windows(session, "视频预览区|预览真实摄像头|效果区") == [playing], "a window of an old tab is left"
            assert_docked(session, main_window, playing)
            previous = playing
        press(find(app, "page tab", TABS[0][0]))
        assert visible_windows(session, "视频预览区") == [playing], "clicking the current tab made a new pair"

        # The exit question from the tray menu: "取消" keeps everything, "确定" ends the program (Qt's
        # own buttons speak Chinese too).
        for answer in ("取消", "确定"):
            open_tray_menu(session)
            session.run(["xdotool", "key", "Up", "Return"])  # the last entry, "退出系统"
            question = wait_find(app, ("alert", "dialog"), "询问")
            find(question, "label", "是否确实要退出系统?")
            press(find(question, "push button", answer))
            if answer == "取消":
                XSession.wait_for(lambda: not visible_windows(session, "询问"), "the question closed")
                assert first.poll() is None, "Cancel ended the program"
                assert visible_windows(session, "Kalimo") and visible_windows(session, "视频预览区")
        assert first.wait(timeout=60) == 0
        assert not os.path.exists("/dev/shm/" + kalimo.section), "the frame section outlived the program"
        assert kalimo.log().count("begin to trovella") == 1
    print("main window test passed")


if __name__ == "__main__":
    main()
