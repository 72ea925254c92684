"""The camera tab under Xvfb with openbox and the fake cameras of the media tests: the panel lists
the two real cameras (not our own virtual camera), opens the first, and a GStreamer client of the
virtual camera sees that camera's test pattern (the colour bars).

usage: /usr/bin/python3 camera_tab_test.py CAMERA_TAB_DEMO PROGRAM_FOLDER FAKE_CAMERA_PLUGIN_DIR [SCREENSHOT.png]"""
import os
import shutil
import sys
import tempfile

from guitest.tabs import (HEIGHT, WIDTH, XSession, camera_frames, make_program_folder, pixel, remove_section,
                         screenshot, start_tab)

# The first bars of the fake camera's pattern (videotestsrc), left to right: white, yellow, cyan, green.
BARS = [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0)]


def near(rgb, expected):
    return all(abs(a - b) < 40 for a, b in zip(rgb, expected))


def main():
    demo, built, fake_plugins = sys.argv[1], sys.argv[2], sys.argv[3]
    shot = sys.argv[4] if len(sys.argv) > 4 else None
    folder = tempfile.mkdtemp(prefix="kalimo-camera-tab-")
    try:
        program = make_program_folder(built, folder)
        os.makedirs(os.path.join(folder, "store"))
        with open(os.path.join(program, "config.ini"), "w", encoding="utf-8") as config:
            config.write("[usingsetting]\nname=Kalimo摄像头\nresourcespath=%s\n" % os.path.join(folder, "store"))
        with XSession(window_manager=True, size="800x600x24") as session:
            env = dict(KALIMO_PROGRAM_DIR=program, KALIMO_SECTION="/kalimo-camera-tab-%d" % os.getpid())
            cameras = dict(env, GST_PLUGIN_PATH=fake_plugins, GST_REGISTRY=os.path.join(folder, "registry.bin"),
                           KALIMO_FAKE_CAMERAS="Desk Cam|raw:320x240;Kalimo摄像头|raw:640x480|ours;Wide Cam|raw:1280x720")
            start_tab(session, [demo], cameras)
            listed = session.run(["xdotool", "search", "--name", "^真实摄像头$"]).split()
            assert listed, "the camera page is not shown"
            frames = camera_frames(session, built, folder, env, 3)
            if shot:
                screenshot(session, shot)
        last = frames[-1]
        row = HEIGHT // 3
        seen = [pixel(last, (2 * i + 1) * WIDTH // 14, row) for i in range(len(BARS))]
        print("bars seen by the camera client:", seen)
        for got, expected in zip(seen, BARS):
            assert near(got, expected), "not the camera's colour bars: %r" % seen
        print("ok")
    finally:
        remove_section("/kalimo-camera-tab-%d" % os.getpid())
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
