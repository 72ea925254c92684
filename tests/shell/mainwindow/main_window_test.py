"""kalimo's main window as a user meets it, on a private X display with openbox and a tray (trayer),
driven by the mouse (xdotool) and by assistive technology over a private AT-SPI bus: start-up with
the docked playing window, a second start, hiding to the tray and coming back, tab switches, the
settings button, and the exit question.

usage: dbus-run-session -- main_window_test.py KALIMO_PROGRAM"""
import os
import subprocess
import sys

from guitest.desktop import (BUS_LAUNCHER, BUTTONS, TABS, Kalimo, all_windows, assert_docked, click, find, geometry,
                             one_window, open_tray_menu, press, stacking, tray_icon, visible_windows, wait_find)
from guitest.session import XSession


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
