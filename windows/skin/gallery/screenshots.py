"""Takes the gallery's screenshots for docs/ under Xvfb with openbox.

usage: PYTHONPATH=tests/support /usr/bin/python3 windows/skin/gallery/screenshots.py build/bin/kalimo-skin-gallery docs"""
import os
import subprocess
import sys
import time

from guitest.session import Gallery, XSession


def window_geometry(session, title):
    window = session.run(["xdotool", "search", "--name", "^%s$" % title]).split()[0]
    values = dict(line.split("=") for line in session.run(["xdotool", "getwindowgeometry", "--shell", window]).split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def shoot(session, path, crop):
    x, y, w, h = crop
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path],
                   env=session.env, check=True)


def main():
    program, folder = sys.argv[1], sys.argv[2]
    with XSession(window_manager=True, size="800x600x24") as session:
        Gallery(session, program)
        time.sleep(1)
        mx, my, mw, _ = window_geometry(session, "Kalimo")
        # The main window active, its minimise button under the pointer, its tooltip shown;
        # the playing window inactive.
        session.run(["xdotool", "mousemove", str(mx + mw - 30), str(my + 11)])
        time.sleep(2)
        shoot(session, os.path.join(folder, "skin-gallery.png"), (20, 20, 760, 560))
        # A picture button hovered (second in the bar), beside normal, pressed and disabled ones.
        vx, vy, vw, vh = window_geometry(session, "视频窗口")
        session.run(["xdotool", "mousemove", str(vx + 107), str(vy + vh - 48)])
        time.sleep(0.5)
        shoot(session, os.path.join(folder, "skin-picture-buttons.png"), (vx, vy + vh - 100, vw, 100))
    # Every picture the build draws, each at 64 × 64, on one sheet.
    pictures = os.path.dirname(os.path.abspath(program))
    names = sorted(os.listdir(os.path.join(pictures, "Image")), key=str.lower)
    files = [os.path.join(pictures, "Image", n) for n in names if n.endswith(".png")]
    files += [os.path.join(pictures, "Bitmap", n) for n in ("128.png", "134.png", "136.png", "161.png", "162.png")]
    subprocess.run(["montage", "-label", "%t", "-pointsize", "9", *files, "-filter", "point",
                    "-tile", "11x", "-geometry", "64x64+6+6", "-background", "white",
                    os.path.join(folder, "skin-pictures.png")], check=True)
    subprocess.run(["convert", os.path.join(pictures, "Bitmap", "153.png"), "-filter", "point", "-resize", "400%",
                    os.path.join(folder, "skin-frame-picture.png")], check=True)


if __name__ == "__main__":
    main()
