"""Kalimo from its first start to its end, driven as a person uses it, on a private X display with
openbox and a tray (trayer): controls found by name and role through assistive technology (a
private AT-SPI bus), keys and drags with xdotool. Every step is checked where a person would see
it: through a real client of the virtual camera (gst-launch-1.0 ostrelsrc) and in the files the
program keeps or makes.

 1. First start with nothing of the user's: chapters.dat names the shipped sample, which plays and
    reaches the camera; config.ini stays as shipped; the storage folders are made.
 2. Three generated clips added into a new group, played in each play mode (loop, repeat one, once,
    seamless with an idle clip), followed by colour in the camera.
 3. A bookmark set in the capture dialog and triggered: the camera shows the bookmarked moment.
 4. A 20-second clip with sound, paused: a click in the seek groove at three quarters makes the
    camera show second 15; a click in the volume groove sets the volume the player plays at.
 5. The image tab with three images: the camera shows them in turn.
 6. The camera tab with a fake camera: a photo (identify reads it), five seconds recorded (ffprobe
    reads the AVI) and offered to the video list.
 7. The screen tab: the whole screen reaches the camera until Escape.
 8. The camera renamed in the settings dialog: gst-device-monitor-1.0 lists the new name.
 9. Hidden to the tray and back; ended through the tray menu. Afterwards no frame section and no
    program are left, and every file the user made is whole.
Then a client of the camera started while Kalimo is not running starts Kalimo and gets the sample.

usage: dbus-run-session -- end_to_end_test.py BIN_DIR FAKE_CAMERA_PLUGIN_DIR [SCREENSHOT_DIR]
BIN_DIR holds kalimo, its plugin and its shipped files; SCREENSHOT_DIR (or KALIMO_SCREENSHOT_DIR)
receives one picture per step."""
import os
import shutil
import subprocess
import sys
import tempfile

from guitest.scenario import (BUS_LAUNCHER, CLIPS, IMAGES, SAMPLE, SCREEN, SEEK_CLIP, SEEK_FOLDER, CameraClient, EndToEnd,
                              Shots, UserSetUp, beside_program, decoded_frames, digest, launched_by_the_camera, log,
                              make_clip, make_image, processes_with, section_exists, tell_program_log)
from guitest.session import XSession, remove_section


def main():
    bin_dir, fake_plugins = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    shots_dir = sys.argv[3] if len(sys.argv) > 3 else os.environ.get("KALIMO_SCREENSHOT_DIR")
    assert "DBUS_SESSION_BUS_ADDRESS" in os.environ, "run under dbus-run-session"
    root = tempfile.mkdtemp(prefix="kalimo-e2e-")
    untouched = beside_program(bin_dir)
    try:
        with XSession(window_manager=True, size="%dx%dx24" % SCREEN) as session:
            os.environ["DISPLAY"] = session.display
            session.start([BUS_LAUNCHER, "--launch-immediately"], stderr=subprocess.DEVNULL)
            session.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            XSession.wait_for(lambda: session.run(["xdotool", "search", "--name", "^panel$"]).strip(), "trayer")
            sample_frames = decoded_frames(os.path.join(bin_dir, SAMPLE))
            user = UserSetUp(session, bin_dir, os.path.join(root, "user"), fake_plugins)
            run = EndToEnd(session, user, Shots(session, shots_dir))
            camera = CameraClient(user.client_env(), errors=os.path.join(root, "client-messages.txt"))
            try:
                run.first_start(camera, sample_frames)
                if os.environ.get("KALIMO_E2E_CLIENT_PRELOAD"):
                    with open("/proc/%d/maps" % camera.process.pid) as maps:
                        mapped = maps.read()
                    assert "libasan" in mapped and "client-plugin/libgstostrel.so" in mapped, \
                        "the client does not run the sanitizer build's plugin"
                log("step 1 done")
                clips = os.path.join(root, "clips")
                os.makedirs(clips)
                for name, parts, sound in CLIPS:
                    make_clip(os.path.join(clips, name), parts, sound)
                run.add_clips(clips)
                log("clips added")
                run.play_modes(camera)
                log("step 2 done")
                run.bookmark(camera)
                log("step 3 done")
                seek_folder = os.path.join(root, SEEK_FOLDER)
                os.makedirs(seek_folder)
                make_clip(os.path.join(seek_folder, SEEK_CLIP[0]), SEEK_CLIP[1], SEEK_CLIP[2])
                run.seek_and_volume(camera, seek_folder)
                log("step 4 done")
                images = os.path.join(root, "images")
                os.makedirs(images)
                for name, colour in IMAGES:
                    make_image(os.path.join(images, name), colour)
                for folder in (clips, images, seek_folder):
                    for name in os.listdir(folder):
                        run.made[os.path.join(folder, name)] = digest(os.path.join(folder, name))
                run.image_tab(camera, images)
                run.camera_tab(camera)
                run.screen_tab(camera, root)
                run.settings("会议摄像头")
                run.back_to_videos()
                run.tray_and_quit()
                camera.stop()
                reports = camera.sanitizer_reports()
                assert not reports, "the camera client's plugin reported:\n" + reports
                # Nothing left running, no frame section, every file of the user whole.
                assert not section_exists(user.section), "the frame section outlived the program"
                assert not processes_with("KALIMO_SECTION=" + user.section), "a program is left running"
                for path, before in run.made.items():
                    assert digest(path) == before, path + " changed at the end"
                assert run.chapters()[-1] == run.movie
                log("scenario 1 done")
            except BaseException:
                tell_program_log(user)
                raise
            finally:
                camera.stop()
                if run.__dict__.get("kalimo") and run.kalimo.poll() is None:
                    run.kalimo.terminate()
                    run.kalimo.wait(timeout=30)
                remove_section(user.section)  # after a failure: not left in shared memory
            launched_by_the_camera(session, bin_dir, os.path.join(root, "launch"), sample_frames)
            log("scenario 2 done")
        assert beside_program(bin_dir) == untouched, "files beside the real program changed"
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("end to end test passed")


if __name__ == "__main__":
    main()
