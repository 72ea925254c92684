#!/usr/bin/python3
"""Kalimo's CPU and resident memory on each tab, measured once, on a private 1920 x 1080 X display:
the video tab playing a 640 x 480 H.264 clip at 30 fps, the camera tab with a 640 x 480 camera at
30 fps, the image slideshow, and the screen tab capturing the whole screen (15 fps). CPU is read
from /proc/PID/stat over ten seconds (in cores), memory from VmRSS. Goals: at most 0.5 core and
250 MB resident. The figures are printed, never judged by a test: they depend on the machine.

usage: PYTHONPATH=tests/support dbus-run-session -- bench/tab_usage.py [BUILD_DIR]   (the system Python: it needs python3-pyatspi)"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import guitest.scenario as scenario
from guitest.session import XSession

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

SECONDS = 10
GOAL_CORES = 0.5
GOAL_MEGABYTES = 250


def frames_written(section):
    """The frame section's write counter (odd while a frame is written, even once it is whole)."""
    try:
        with open("/dev/shm/" + section.lstrip("/"), "rb") as data:
            data.seek(18000008)
            return int.from_bytes(data.read(8), "little") // 2
    except OSError:
        return 0


def usage(pid, section, seconds=SECONDS):
    """(cores, peak resident megabytes, frames written a second) of the process over `seconds`."""
    def ticks():
        with open("/proc/%d/stat" % pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])  # utime, stime

    def resident():
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
        return 0.0
    start_ticks, start, start_frames = ticks(), time.monotonic(), frames_written(section)
    peak = resident()
    while time.monotonic() - start < seconds:
        time.sleep(0.5)
        peak = max(peak, resident())
    elapsed = time.monotonic() - start
    cores = (ticks() - start_ticks) / os.sysconf("SC_CLK_TCK") / elapsed
    return cores, peak, (frames_written(section) - start_frames) / elapsed


def main():
    build = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    bin_dir = os.path.join(build, "bin")
    fake_plugins = os.path.join(build, "tests", "media", "plugins")
    assert "DBUS_SESSION_BUS_ADDRESS" in os.environ, "run under dbus-run-session"
    scenario.SCREEN = (1920, 1080)
    root = tempfile.mkdtemp(prefix="kalimo-tab-usage-")
    results = []
    try:
        with XSession(window_manager=True, size="1920x1080x24") as session:
            os.environ["DISPLAY"] = session.display
            session.start([scenario.BUS_LAUNCHER, "--launch-immediately"], stderr=subprocess.DEVNULL)
            user = scenario.UserSetUp(session, bin_dir, os.path.join(root, "user"), fake_plugins)
            user.env["KALIMO_FAKE_CAMERAS"] = "Desk Cam|raw:640x480"
            # What the tabs show: a moving H.264 clip that loops, three photographs' worth of images.
            clip = os.path.join(root, "clip.mp4")
            subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                            "testsrc2=size=640x480:rate=30:duration=30", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                            clip], check=True)
            with open(os.path.join(user.program, "chapters.dat"), "wb") as chapters:
                chapters.write(("Bench&mode&0\r\nBench&" + clip).encode("gb18030"))
            images = []
            for index, colour in enumerate(("orange", "purple", "teal")):
                path = os.path.join(root, "image%d.jpg" % index)
                subprocess.run(["convert", "-size", "1920x1080", "plasma:", "-fill", colour, "-colorize", "30",
                                path], check=True)
                images.append(path)
            with open(os.path.join(user.program, "images.dat"), "wb") as listing:
                listing.write("\r\n".join(images).encode("gb18030"))

            run = scenario.EndToEnd(session, user, scenario.Shots(session, None))
            run.kalimo = user.start(session)
            try:
                run.pair("视频预览区")
                run.connect()
                scenario.wait_find(run.app, "label", "现在正在播放的视频是：clip.mp4")
                time.sleep(3)  # past the start of playing
                results.append(("video 640x480 30 fps",) + usage(run.kalimo.pid, user.section))
                run.switch_tab("真实摄像头", "预览真实摄像头")
                time.sleep(3)
                results.append(("camera 640x480 30 fps",) + usage(run.kalimo.pid, user.section))
                run.switch_tab("图像", "效果区")
                time.sleep(3)
                results.append(("image slideshow 1920x1080 JPEG, 2 s each",) + usage(run.kalimo.pid, user.section))
                run.switch_tab("捕获屏幕", "效果区")
                scenario.act(scenario.wait_find(run.app, "radio button", "整个屏幕（按ESC退出）"), "Toggle")
                scenario.act(scenario.wait_find(run.app, "push button", "开始"))
                XSession.wait_for(lambda: not scenario.visible_windows(session, "Kalimo"), "the capture to start")
                time.sleep(3)
                results.append(("screen 1920x1080 15 fps",) + usage(run.kalimo.pid, user.section))
                session.run(["xdotool", "key", "Escape"])
            finally:
                run.kalimo.terminate()
                run.kalimo.wait(timeout=30)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    load = os.getloadavg()
    print("Kalimo per tab over %d s (load average %.1f on %d cores while measured)" %
          (SECONDS, load[0], os.cpu_count()))
    for name, cores, megabytes, rate in results:
        verdict = "ok" if cores <= GOAL_CORES and megabytes <= GOAL_MEGABYTES else "over goal"
        print("  %-42s %5.2f cores  %6.1f MB resident  %5.1f frames/s to the camera  %s" %
              (name, cores, megabytes, rate, verdict))
    print(json.dumps({"load_average": load[0],
                      "tabs": [{"tab": n, "cores": round(c, 3), "resident_mb": round(m, 1),
                                "frames_per_second": round(r, 1)} for n, c, m, r in results]}, ensure_ascii=False))


if __name__ == "__main__":
    main()
