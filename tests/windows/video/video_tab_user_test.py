"""The video tab used as a person would, on a private X display: three generated clips added through
the file dialog, the group set to loop through its context menu, a double click on the second clip;
a client of the virtual camera (gst-launch-1.0 ostrelsrc) sees that clip's colour, and then the
next clip's when it ends. With a folder argument it also leaves screenshots there.

usage: video_tab_user_test.py DEMO PLUGIN_DIR [SCREENSHOT_FOLDER]"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from guitest.session import Gallery, XSession, remove_section

COLOURS = {"red": (255, 0, 0), "green": (0, 128, 0), "blue": (0, 0, 255)}
# Seconds each clip lasts: the clips the camera is asked about last long enough for a client to
# start on a loaded machine before the next clip comes.
SECONDS = {"red": 4, "green": 12, "blue": 20}


def make_clip(folder, colour):
    path = os.path.join(folder, colour + ".avi")
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "color=c=%s:size=320x240:rate=30:duration=%d" % (colour, SECONDS[colour]), "-c:v", "mjpeg", "-pix_fmt", "yuvj420p",
                    path], check=True)
    return path


def window_of(session, title):
    found = ""
    deadline = time.monotonic() + 30
    while not found and time.monotonic() < deadline:
        found = session.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title]).split()
        time.sleep(0.1)
    assert found, "no window " + title
    return found[0]


def geometry(session, window):
    values = dict(line.split("=") for line in session.run(["xdotool", "getwindowgeometry", "--shell", window]).split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def camera_colour(session, env, folder):
    """The colour a client of the virtual camera sees now, as the nearest of the clips' colours."""
    picture = os.path.join(folder, "camera.png")
    subprocess.run(["gst-launch-1.0", "-q", "ostrelsrc", "num-buffers=1", "!", "videoconvert", "!", "pngenc", "!",
                    "filesink", "location=" + picture], env=env, check=True, timeout=60)
    pixel = subprocess.run(["convert", picture, "-gravity", "center", "-crop", "1x1+0+0", "-format",
                            "%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]", "info:"],
                           capture_output=True, text=True, check=True).stdout
    rgb = tuple(int(v) for v in pixel.split(","))
    return min(COLOURS, key=lambda name: sum((a - b) ** 2 for a, b in zip(COLOURS[name], rgb)))


def main():
    demo, plugins = sys.argv[1], sys.argv[2]
    shots = sys.argv[3] if len(sys.argv) > 3 else None
    work = tempfile.mkdtemp(prefix="kalimo-video-tab-")
    clips = os.path.join(work, "clips")
    program = os.path.join(work, "program")
    os.makedirs(clips)
    os.makedirs(program)
    # The pictures of the buttons and the tree, as they lie beside the program.
    for pictures in ("Image", "Bitmap"):
        shutil.copytree(os.path.join(os.path.dirname(os.path.abspath(demo)), pictures), os.path.join(program, pictures))
    for colour in ("red", "green", "blue"):
        make_clip(clips, colour)
    try:
        with XSession(window_manager=True, size="1024x700x24") as session:
            env = dict(session.env, KALIMO_PROGRAM_DIR=program, KALIMO_SECTION="/kalimo-video-tab-%d" % os.getpid(),
                       GST_PLUGIN_PATH=plugins, GST_REGISTRY=os.path.join(work, "registry.bin"))
            # The file dialog opens in the program's working folder: the clips' folder.
            here = os.getcwd()
            os.chdir(clips)
            try:
                demo_run = Gallery(session, os.path.abspath(os.path.join(here, demo)),
                                   extra_env={k: env[k] for k in ("KALIMO_PROGRAM_DIR", "KALIMO_SECTION", "GST_REGISTRY")})
            finally:
                os.chdir(here)
            page = window_of(session, "视频文件")
            _, _, width, height = geometry(session, page)

            # "添加": the button left of "添加分组" in the bottom-right corner; then the file dialog.
            session.run(["xdotool", "mousemove", "--window", page, str(width - 4 - 72 - 4 - 36), str(height - 4 - 15),
                         "click", "1"])
            time.sleep(1.5)
            session.run(["xdotool", "type", "--delay", "20", '"red.avi" "green.avi" "blue.avi"'])
            time.sleep(0.5)  # the completer settles first, or it takes the Return
            session.run(["xdotool", "key", "Return"])
            demo_run.expect("status 现在正在播放的视频是：red.avi")
            with open(os.path.join(program, "chapters.dat"), encoding="gb18030") as listed:
                lines = listed.read().split()
            assert lines == ["clips&" + os.path.join(clips, c + ".avi") for c in ("red", "green", "blue")], lines

            # Loop the group: its context menu, "分组播放模式", "循环播放".
            session.run(["xdotool", "mousemove", "--window", page, "60", "19", "click", "3"])
            time.sleep(0.8)
            for key in ("Down",) * 5 + ("Right", "Return"):
                session.run(["xdotool", "key", key])
                time.sleep(0.2)
            time.sleep(0.5)
            with open(os.path.join(program, "chapters.dat"), encoding="gb18030") as listed:
                assert "clips&mode&0" in listed.read().split(), "the group does not loop"

            # Double click on the second clip (rows: the group 30 pixels, each clip 40).
            session.run(["xdotool", "mousemove", "--window", page, "60", str(4 + 30 + 40 + 20), "click", "--repeat", "2",
                         "--delay", "80", "1"])
            demo_run.expect("status 现在正在播放的视频是：green.avi")
            time.sleep(0.5)
            seen = camera_colour(session, env, work)
            assert seen == "green", "the camera shows " + seen
            if shots:
                video = window_of(session, "视频预览区")
                vx, vy, vw, vh = geometry(session, video)
                px, py, pw, ph = geometry(session, page)
                left, top = min(px, vx) - 4, min(py, vy) - 30
                right, bottom = max(px + pw, vx + vw) + 4, max(py + ph, vy + vh) + 4
                subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                                "+repage", os.path.join(shots, "video-tab.png")], env=session.env, check=True)
                subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (vw, 130, vx, vy + vh - 130),
                                "+repage", os.path.join(shots, "video-control-bar.png")], env=session.env, check=True)
            # At its end the loop goes on to the third clip.
            # The status names the next clip when the player has queued it; the decoded pictures of
            # the clip before still reach the camera for up to about two seconds.
            demo_run.expect("status 现在正在播放的视频是：blue.avi", timeout=30)
            deadline = time.monotonic() + 15
            seen = camera_colour(session, env, work)
            while seen != "blue" and time.monotonic() < deadline:
                time.sleep(0.5)
                seen = camera_colour(session, env, work)
            assert seen == "blue", "the camera shows " + seen
    finally:
        remove_section("/kalimo-video-tab-%d" % os.getpid())
        shutil.rmtree(work, ignore_errors=True)
    print("video tab user test passed")


if __name__ == "__main__":
    main()
