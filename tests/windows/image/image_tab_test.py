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

from guitest.tabs import (HEIGHT, WIDTH, XSession, camera_frames, make_program_folder, pixel, remove_section,
                         screenshot, start_tab)

COLOURS = [(200, 30, 30), (30, 200, 30), (30, 30, 200)]


def nearest_colour(rgb):
    distances = [sum((a - b) ** 2 for a, b in zip(rgb, colour)) for colour in COLOURS]
    best = min(range(len(COLOURS)), key=lambda i: distances[i])
    return best if distances[best] < 30 ** 2 else None


def main():
    demo, built, shot = sys.argv[1], sys.argv[2], (sys.argv[3] if len(sys.argv) > 3 else None)
    folder = tempfile.mkdtemp(prefix="kalimo-image-tab-")
    try:
        program = make_program_folder(built, folder)
        paths = []
        for index, (r, g, b) in enumerate(COLOURS):
            path = os.path.join(folder, "flat%d.png" % index)
            subprocess.run(["convert", "-size", "640x480", "xc:rgb(%d,%d,%d)" % (r, g, b), path], check=True)
            paths.append(path)
        with open(os.path.join(program, "images.dat"), "wb") as listing:
            listing.write("\r\n".join(paths).encode())

        with XSession(window_manager=True, size="800x600x24") as session:
            env = dict(KALIMO_PROGRAM_DIR=program, KALIMO_SECTION="/kalimo-image-tab-%d" % os.getpid())
            start_tab(session, [demo, "1"], env)  # one second per image
            frames = camera_frames(session, built, folder, env, 6)
            if shot:
                screenshot(session, shot)
        seen = [nearest_colour(pixel(frame, WIDTH // 2, HEIGHT // 2)) for frame in frames]
        changes = [c for i, c in enumerate(seen) if c is not None and (i == 0 or c != seen[i - 1])]
        print("images seen by the camera client:", seen)
        assert None not in seen[4:], "frames of no image's colour: %r" % seen
        assert len(changes) >= 4, "the camera did not go through the images: %r" % changes
        for previous, current in zip(changes, changes[1:]):
            assert current == (previous + 1) % 3, "images out of order: %r" % changes
        print("ok")
    finally:
        remove_section("/kalimo-image-tab-%d" % os.getpid())
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
