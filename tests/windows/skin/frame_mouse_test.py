"""The skinned frame used with the mouse, as a person would, under Xvfb: dragging the title bar
moves the window (through openbox, and by the window itself where no window manager runs), the
minimise button iconifies it, the close button closes it.

usage: frame_mouse_test.py GALLERY_PROGRAM"""
import re
import sys
import time

from guitest.session import Gallery, XSession


def window_id(session, title):
    found = []
    XSession.wait_for(lambda: found.extend(session.run(["xdotool", "search", "--name", "^%s$" % title]).split())
                      or found, "window " + title)
    return found[0]


def geometry(session, window):
    text = session.run(["xdotool", "getwindowgeometry", window])
    x, y = map(int, re.search(r"Position: (-?\d+),(-?\d+)", text).groups())
    w, h = map(int, re.search(r"Geometry: (\d+)x(\d+)", text).groups())
    return x, y, w, h


def drag(session, gallery, title, start, end):
    session.run(["xdotool", "mousemove", str(start[0]), str(start[1])])
    session.run(["xdotool", "mousedown", "1"])
    gallery.expect("pressed " + title)
    steps = 10
    for i in range(1, steps + 1):
        x = start[0] + (end[0] - start[0]) * i // steps
        y = start[1] + (end[1] - start[1]) * i // steps
        session.run(["xdotool", "mousemove", str(x), str(y)])
        time.sleep(0.05)
    session.run(["xdotool", "mouseup", "1"])


def click(session, x, y):
    session.run(["xdotool", "mousemove", str(x), str(y)])
    time.sleep(0.2)
    session.run(["xdotool", "click", "1"])


def check_drag_moves(session, gallery, window, by):
    x, y, w, _ = geometry(session, window)
    drag(session, gallery, "Kalimo", (x + w // 2, y + 16), (x + w // 2 + by[0], y + 16 + by[1]))
    XSession.wait_for(lambda: geometry(session, window)[:2] == (x + by[0], y + by[1]),
                      "the window to move by %s (now at %s, was at %s)" % (by, geometry(session, window)[:2], (x, y)),
                      timeout=20)


def with_window_manager(program):
    with XSession(window_manager=True) as session:
        gallery = Gallery(session, program)
        window = window_id(session, "Kalimo")
        check_drag_moves(session, gallery, window, (120, 70))

        # Pressing on a button and dragging does not move the window.
        x, y, w, _ = geometry(session, window)
        drag(session, gallery, "Kalimo", (x + w - 12, y + 11), (x + w - 12 - 60, y + 11 + 60))
        time.sleep(0.5)
        assert geometry(session, window)[:2] == (x, y), "a drag from the close button moved the window"

        # Minimise: the main window's minimise button is 38 pixels from the right edge.
        click(session, x + w - 38 + 8, y + 11)
        gallery.expect("minimized Kalimo")
        XSession.wait_for(lambda: "Iconic" in session.run(["xprop", "-id", window, "WM_STATE"]), "iconic state")

        session.run(["xdotool", "windowactivate", "--sync", window])
        XSession.wait_for(lambda: "Normal" in session.run(["xprop", "-id", window, "WM_STATE"]), "normal state")
        x, y, w, _ = geometry(session, window)
        click(session, x + w - 12, y + 11)
        gallery.expect("closed Kalimo")
        XSession.wait_for(lambda: not session.run(["xdotool", "search", "--onlyvisible", "--name", "^Kalimo$"]).strip(),
                          "the window to close")


def without_window_manager(program):
    # No window manager offers a move: the window moves itself.
    with XSession(window_manager=False) as session:
        gallery = Gallery(session, program)
        check_drag_moves(session, gallery, window_id(session, "Kalimo"), (90, 50))


def main():
    program = sys.argv[1]
    with_window_manager(program)
    without_window_manager(program)
    print("frame mouse test passed")


if __name__ == "__main__":
    main()
