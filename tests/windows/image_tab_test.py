"""The image tab under Xvfb with openbox, as a person and a chat client meet it: the slideshow runs
at one second per image, and a GStreamer client of the virtual camera (ostrelsrc) sees the three
images in list order, again and again.

usage: /usr/bin/python3 image_tab_test.py IMAGE_TAB_DEMO PROGRAM_FOLDER [SCREENSHOT.png]
PROGRAM_FOLDER is the build's program folder (its Image/ pictures and libgstostrel.so); with a
third argument the tab's screenshot is written there."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "skin"))
from gui_session import XSession  # noqa: E402

COLOURS = [(200, 30, 30), (30, 200, 30), (30, 30, 200)]
WIDTH, HEIGHT = 320, 240


def nearest_colour(rgb):
    distances = [sum((a - b) ** 2 for a, b in zip(rgb, colour)) for colour in COLOURS]
    best = min(range(len(COLOURS)), key=lambda i: distances[i])
    return best if distances[best] < 30 ** 2 else None


def camera_frames(env, folder, seconds):
    """The middle pixel of each frame a camera client got, four frames a second."""
    frames = os.path.join(folder, "frames")
    os.makedirs(frames)
    subprocess.run(["gst-launch-1.0", "-q", "ostrelsrc", "num-buffers=%d" % (seconds * 30), "!",
                    "video/x-raw,format=BGR,width=%d,height=%d" % (WIDTH, HEIGHT), "!", "videorate", "!",
                    "video/x-raw,framerate=4/1", "!", "multifilesink",
                    "location=" + os.path.join(frames, "%04d.bgr")],
                   env=env, check=True, timeout=seconds + 60)
    middles = []
    for name in sorted(os.listdir(frames)):
        with open(os.path.join(frames, name), "rb") as frame:
            data = frame.read()
        at = ((HEIGHT // 2) * WIDTH + WIDTH // 2) * 3  # BGR rows of 960 bytes, no padding
        middles.append((data[at + 2], data[at + 1], data[at]))
    return middles


def main():
    demo, built, screenshot = sys.argv[1], sys.argv[2], (sys.argv[3] if len(sys.argv) > 3 else None)
    folder = tempfile.mkdtemp(prefix="kalimo-image-tab-")
    try:
        program = os.path.join(folder, "program")
        plugins = os.path.join(folder, "plugins")
        os.makedirs(program)
        os.makedirs(plugins)
        for name in ("Image", "Bitmap"):
            shutil.copytree(os.path.join(built, name), os.path.join(program, name))
        # A copy of the plugin, so that no kalimo beside it is started by the client.
        shutil.copy(os.path.join(built, "libgstostrel.so"), plugins)
        paths = []
        for index, (r, g, b) in enumerate(COLOURS):
            path = os.path.join(folder, "flat%d.png" % index)
            subprocess.run(["convert", "-size", "640x480", "xc:rgb(%d,%d,%d)" % (r, g, b), path], check=True)
            paths.append(path)
        with open(os.path.join(program, "images.dat"), "wb") as listing:
            listing.write("\r\n".join(paths).encode())

        with XSession(window_manager=True, size="800x600x24") as session:
            env = dict(KALIMO_PROGRAM_DIR=program, KALIMO_SECTION="/kalimo-image-tab-%d" % os.getpid())
            # One second per image.
            tab = session.start([demo, "1"], env=dict(session.env, **env), stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
            assert tab.stdout.readline().strip() == "ready", "the image tab did not start"
            client = dict(session.env, GST_PLUGIN_PATH=plugins, GST_REGISTRY=os.path.join(folder, "registry.bin"),
                          **env)
            seen = [nearest_colour(rgb) for rgb in camera_frames(client, folder, 6)]
            if screenshot:
                subprocess.run(["import", "-window", "root", "-crop", "700x540+10+10", "+repage", screenshot],
                               env=session.env, check=True)
        changes = [c for i, c in enumerate(seen) if c is not None and (i == 0 or c != seen[i - 1])]
        print("colours seen by the camera client:", seen)
        assert None not in seen[4:], "frames of no image's colour: %r" % seen
        assert len(changes) >= 4, "the camera did not go through the images: %r" % changes
        for previous, current in zip(changes, changes[1:]):
            assert current == (previous + 1) % 3, "images out of order: %r" % changes
        print("ok")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
