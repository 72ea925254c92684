"""Shared by the tab tests under Xvfb: a program folder for a tab, the tab's program started on a
session, and a GStreamer client of the virtual camera (ostrelsrc) that keeps the frames it got."""
import os
import shutil
import subprocess
import sys

from guitest.session import XSession, remove_section  # noqa: F401 (the tab tests take them from here)

WIDTH, HEIGHT = 320, 240


def make_program_folder(built, folder):
    """A program folder with the build's pictures (the buttons need them)."""
    program = os.path.join(folder, "program")
    os.makedirs(program)
    for name in ("Image", "Bitmap"):
        shutil.copytree(os.path.join(built, name), os.path.join(program, name))
    return program


def start_tab(session, command, env):
    """Starts the tab's program and waits until it says it is shown."""
    tab = session.start(command, env=dict(session.env, **env), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                        text=True)
    assert tab.stdout.readline().strip() == "ready", "the tab did not start"
    return tab


def camera_frames(session, built, folder, env, seconds):
    """Four frames a second of what a client of the virtual camera gets, as BGR rows (top-down,
    WIDTH × HEIGHT). The plugin is a copy, so that the client starts no kalimo beside it."""
    plugins = os.path.join(folder, "ostrel-plugin")
    frames = os.path.join(folder, "frames")
    os.makedirs(plugins)
    os.makedirs(frames)
    shutil.copy(os.path.join(built, "libgstostrel.so"), plugins)
    client = dict(session.env, GST_PLUGIN_PATH=plugins, GST_REGISTRY=os.path.join(folder, "client-registry.bin"),
                  **env)
    subprocess.run(["gst-launch-1.0", "-q", "ostrelsrc", "num-buffers=%d" % (seconds * 30), "!",
                    "video/x-raw,format=BGR,width=%d,height=%d" % (WIDTH, HEIGHT), "!", "videorate", "!",
                    "video/x-raw,framerate=4/1", "!", "multifilesink", "location=" + os.path.join(frames, "%04d.bgr")],
                   env=client, check=True, timeout=seconds + 60)
    result = []
    for name in sorted(os.listdir(frames)):
        with open(os.path.join(frames, name), "rb") as frame:
            result.append(frame.read())
    return result


def pixel(frame, x, y):
    """(red, green, blue) at x, y of a BGR frame of WIDTH × HEIGHT."""
    at = (y * WIDTH + x) * 3
    return frame[at + 2], frame[at + 1], frame[at]


def screenshot(session, path, crop="700x540+10+10"):
    subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", path], env=session.env, check=True)
