"""The gallery through assistive technology: on a private session bus with its own AT-SPI bus,
the picture buttons, the tabs, the tree rows and the caption buttons are found by name and role
and pressed through their actions, as a screen reader would.

usage: dbus-run-session -- accessibility_test.py GALLERY_PROGRAM"""
import os
import subprocess
import sys

from guitest.session import Gallery, XSession

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def has_role(accessible, role):
    # Qt gives its tree items the AT-SPI role "table cell" and names the role "tree item" only in its
    # localized role name, which follows the program's Chinese translation: the role itself decides.
    wanted = {"tree item", "table cell"} if role == "tree item" else {role}
    return bool({accessible.getRoleName(), accessible.getLocalizedRoleName()} & wanted)


def find(root, role, name):
    """The first accessible below `root` with this role and name."""
    import pyatspi
    found = pyatspi.utils.findDescendant(root, lambda a: a.name == name and has_role(a, role), breadth_first=True)
    assert found is not None, "no %s named %r" % (role, name)
    return found


def press(accessible, action_name):
    actions = accessible.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    assert action_name in names, "%r has actions %s" % (accessible.name, names)
    actions.doAction(names.index(action_name))


def main():
    program = sys.argv[1]
    assert "DBUS_SESSION_BUS_ADDRESS" in os.environ, "run under dbus-run-session"
    with XSession(window_manager=True) as session:
        os.environ["DISPLAY"] = session.display
        session.start([BUS_LAUNCHER, "--launch-immediately"], stderr=subprocess.DEVNULL)
        gallery = Gallery(session, program, {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})

        import pyatspi
        desktop = pyatspi.Registry.getDesktop(0)
        apps = []
        XSession.wait_for(lambda: apps.extend(a for a in desktop if a and a.name == "kalimo-skin-gallery") or apps,
                          "the gallery on the accessibility bus")
        app = apps[0]

        for caption in ("帮助", "参数设置", "录制视频", "隐藏视频图像窗口", "添加", "添加分组", "暂停", "静音"):
            button = find(app, "push button", caption)
            press(button, "Press")
            gallery.expect("clicked " + caption)
        disabled = find(app, "push button", "小声")
        assert not disabled.getState().contains(pyatspi.STATE_ENABLED), "a disabled picture button reads enabled"

        tab = find(app, "page tab", "图像")
        find(app, "page tab", "视频文件")
        press(tab, "Press")
        gallery.expect("tab 图像")

        group = find(app, "tree item", "会议片段")
        assert group.getState().contains(pyatspi.STATE_COLLAPSED)
        tree = group.parent
        rows_before = tree.childCount
        press(group, "Press")
        XSession.wait_for(lambda: tree.childCount == rows_before + 2, "the group's videos as tree rows")
        assert group.getState().contains(pyatspi.STATE_EXPANDED)
        assert group.getState().contains(pyatspi.STATE_SELECTED)
        video = find(app, "tree item", "第二段.mp4")
        press(video, "ShowMenu")
        gallery.expect("menu 第二段.mp4")
        find(app, "tree item", "开场白.mp4")

        video_window = find(app, "push button", "最大化")
        find(app, "push button", "关闭")
        press(video_window, "Press")
        XSession.wait_for(lambda: pyatspi.utils.findDescendant(app, lambda a: a.name == "向下还原") is not None,
                          "the maximise button to read as restore")
        press(find(find(app, "dialog", "Kalimo"), "push button", "最小化"), "Press")
        gallery.expect("minimized Kalimo")
    print("accessibility test passed")


if __name__ == "__main__":
    main()
