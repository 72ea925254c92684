"""Kalimo driven as a person uses it, step by step: the user's own folders, the program started in
them, a real client of the virtual camera, the tabs, the dialogs and the screenshots taken on the
way. The end-to-end test runs the steps in order; the tab benchmark uses them to reach each tab."""
import hashlib
import os
import re
import shutil
import signal
import subprocess
import threading
import time
import uuid

from guitest.desktop import PLAYING_WINDOW_WIDTH, geometry, one_window, open_tray_menu, tray_icon, visible_windows
from guitest.session import XSession, remove_section

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
SCREEN = (1024, 768)
SAMPLE = "video/示例影音文件(使用时可以删除).avi"
CAMERA_NAME = "Kalimo摄像头"
WIDTH, HEIGHT = 320, 240
FRAME_BYTES = WIDTH * HEIGHT * 3

# Colours the camera is asked about, each step with its own so that a picture left over from the
# step before is never taken for the one wanted.
COLOURS = {
    "red": (255, 0, 0), "green": (0, 128, 0), "white": (255, 255, 255), "blue": (0, 0, 255),
    "magenta": (255, 0, 255),
    "orange": (255, 140, 0), "purple": (128, 0, 128), "teal": (0, 128, 128),
    "backdrop": (90, 60, 200),
}
# The group's clips in play order: (file, [(colour, seconds), ...]). The first is long and turns
# magenta late, for the bookmark; the second is the idle clip and changes colour half way, so a
# repeat shows; the third is short, for the ends of the group.
# Qt's file dialog in Chinese: its labels carry a mnemonic, "(&N)", which assistive technology gets
# with or without its parentheses.
OPEN_DIALOG = "打开"
FILE_NAME_FIELD = ("文件名称(N)：", "文件名称：", "文件名称(&N)：")
OPEN_BUTTON = ("打开(O)", "打开", "打开(&O)")
# The clips have a tone, as users' own videos have sound; red.avi keeps a silent one in the group.
CLIPS = [("blue.avi", [("blue", 30), ("magenta", 10)], True),
         ("green.avi", [("green", 3), ("white", 3)], True),
         ("red.avi", [("red", 4)], False)]
GROUP = "E2E 片段"
# Twenty seconds with sound, in a folder (and so a group) of its own: red for 14 s, then teal for
# 3 s, the seconds around three quarters of the clip, then purple.
SEEK_FOLDER = "二十秒"
SEEK_CLIP = ("跳转.avi", [("red", 14), ("teal", 3), ("purple", 3)], True)
IMAGES = [("orange.png", "orange"), ("purple.png", "purple"), ("teal.png", "teal")]
# The fake camera's first bars (videotestsrc), left to right: white, yellow, cyan, green.
BARS = [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0)]


def log(text):
    print("[%6.1f s] %s" % (time.monotonic() - STARTED, text), flush=True)


STARTED = time.monotonic()


# ---------------------------------------------------------------------------------------------
# Assistive technology: the program's controls by role and name.

# Qt gives its tree items the AT-SPI role "table cell" and names the role "tree item" only in its
# localized role name, which follows the program's Chinese translation: the role itself decides.
ROLE_ALIASES = {"tree item": {"tree item", "table cell"}}


def has_role(accessible, roles):
    wanted = set().union(*(ROLE_ALIASES.get(role, {role}) for role in roles))
    return bool({accessible.getRoleName(), accessible.getLocalizedRoleName()} & wanted)


def wait_find(root, role, name, timeout=60.0):
    """The first accessible below `root` with this role and name (any name for None; a tuple for
    any of its names)."""
    import pyatspi
    roles = (role,) if isinstance(role, str) else role
    names = (name,) if name is None or isinstance(name, str) else name
    found = []

    def look():
        try:
            hit = pyatspi.utils.findDescendant(
                root, lambda a: a is not None and (None in names or a.name in names) and has_role(a, roles),
                breadth_first=True)
        except Exception:  # the tree changed while it was walked
            return False
        if hit is not None:
            found[:] = [hit]
        return hit is not None
    XSession.wait_for(look, "%s %r through assistive technology" % (role, name), timeout)
    return found[0]


def present(root, role, name):
    """Whether such an accessible is there now."""
    try:
        wait_find(root, role, name, timeout=0.5)
        return True
    except AssertionError:
        return False


def act(accessible, action="Press"):
    actions = accessible.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    assert action in names, "%r has actions %s" % (accessible.name, names)
    actions.doAction(names.index(action))


def set_text(accessible, text):
    accessible.queryEditableText().setTextContents(text)


def text_of(accessible):
    body = accessible.queryText()
    return body.getText(0, body.characterCount)


def centre_of(accessible):
    import pyatspi
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x + box.width // 2, box.y + box.height // 2


# ---------------------------------------------------------------------------------------------
# The camera as a chat client sees it.

class CameraClient:
    """gst-launch-1.0 ostrelsrc, the way a chat client opens the camera: four 320 x 240 BGR
    pictures a second read from its output, the newest kept with its number."""

    def __init__(self, env, cwd=None, errors=None):
        # `errors`: a file for the client's own messages (a sanitizer's reports), else none kept.
        self.errors = errors
        self.process = subprocess.Popen(
            ["gst-launch-1.0", "-q", "ostrelsrc", "!", "video/x-raw,format=BGR,width=%d,height=%d" % (WIDTH, HEIGHT), "!", "videorate", "!",
             "video/x-raw,framerate=4/1", "!", "fdsink", "fd=1"],
            env=env, cwd=cwd, stdout=subprocess.PIPE,
            stderr=open(errors, "wb") if errors else subprocess.DEVNULL)
        self.condition = threading.Condition()
        self.frame, self.number = None, 0
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            frame = self.process.stdout.read(FRAME_BYTES)
            if not frame or len(frame) < FRAME_BYTES:
                return
            with self.condition:
                self.frame, self.number = frame, self.number + 1
                self.condition.notify_all()

    def next_frame(self, after, timeout):
        """The newest picture numbered above `after`, or None at the deadline."""
        deadline = time.monotonic() + timeout
        with self.condition:
            while self.number <= after:
                remaining = deadline - time.monotonic()
                if remaining <= 0 or self.process.poll() is not None and self.number <= after:
                    return None, after
                self.condition.wait(min(remaining, 0.5))
            return self.frame, self.number

    def wait_until(self, predicate, what, timeout=40.0):
        """Reads pictures until one satisfies `predicate`; the picture, or an error that names
        what was seen last."""
        deadline = time.monotonic() + timeout
        number, last = self.number, None
        while time.monotonic() < deadline:
            frame, number = self.next_frame(number, deadline - time.monotonic())
            if frame is None:
                break
            last = frame
            if predicate(frame):
                return frame
        raise AssertionError("the camera did not show %s in %d s (last centre %s)%s" %
                             (what, timeout, centre(last) if last else "no picture", self.sanitizer_reports()))

    def wait_colour(self, name, timeout=40.0):
        log("camera: waiting for " + name)
        return self.wait_until(lambda f: colour_name(centre(f)) == name, name, timeout)

    def colours_for(self, seconds):
        """The colour names seen at the centre over the next `seconds`."""
        deadline = time.monotonic() + seconds
        seen, number = [], self.number
        while time.monotonic() < deadline:
            frame, number = self.next_frame(number, deadline - time.monotonic())
            if frame is None:
                break
            seen.append(colour_name(centre(frame)))
        return seen

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def sanitizer_reports(self):
        """What a sanitizer reported in the client's messages, if they were kept."""
        if not self.errors or not os.path.exists(self.errors):
            return ""
        with open(self.errors, errors="replace") as messages:
            text = messages.read()
        return text if "Sanitizer" in text or "runtime error:" in text else ""


def pixel(frame, x, y):
    at = (y * WIDTH + x) * 3
    return frame[at + 2], frame[at + 1], frame[at]


def centre(frame):
    """The mean (red, green, blue) of a 9 x 9 patch in the middle of the picture."""
    sums = [0, 0, 0]
    for y in range(HEIGHT // 2 - 4, HEIGHT // 2 + 5):
        for x in range(WIDTH // 2 - 4, WIDTH // 2 + 5):
            for i, value in enumerate(pixel(frame, x, y)):
                sums[i] += value
    return tuple(s // 81 for s in sums)


def colour_name(rgb, tolerance=50):
    best = min(COLOURS, key=lambda n: sum((a - b) ** 2 for a, b in zip(COLOURS[n], rgb)))
    return best if sum((a - b) ** 2 for a, b in zip(COLOURS[best], rgb)) < tolerance ** 2 else None


def decoded_frames(path):
    """The frames of a video file at the camera client's size, as BGR rows."""
    raw = subprocess.run(["gst-launch-1.0", "-q", "filesrc", "location=" + path, "!", "decodebin", "!",
                          "videoconvert", "!", "videoscale", "!",
                          "video/x-raw,format=BGR,width=%d,height=%d" % (WIDTH, HEIGHT), "!", "fdsink", "fd=1"],
                         capture_output=True, check=True, timeout=120).stdout
    return [raw[i:i + FRAME_BYTES] for i in range(0, len(raw) - FRAME_BYTES + 1, FRAME_BYTES)]


GRID = [(y * WIDTH + x) * 3 for y in range(6, HEIGHT, 12) for x in range(6, WIDTH, 12)]


def difference(a, b):
    """Mean absolute difference of two pictures over a grid of points."""
    return sum(abs(a[i + c] - b[i + c]) for i in GRID for c in range(3)) / (3 * len(GRID))


def is_one_of(frame, frames, tolerance=14):
    return min(difference(frame, f) for f in frames) < tolerance


def bars_shown(frame):
    row = HEIGHT // 3
    seen = [pixel(frame, (2 * i + 1) * WIDTH // 14, row) for i in range(len(BARS))]
    return all(all(abs(a - b) < 40 for a, b in zip(got, want)) for got, want in zip(seen, BARS))


# ---------------------------------------------------------------------------------------------
# Files.

def digest(path):
    with open(path, "rb") as data:
        return hashlib.sha256(data.read()).hexdigest()


def list_lines(path):
    with open(path, "rb") as data:
        return [line for line in data.read().decode("gb18030").split("\r\n") if line]


def make_clip(path, parts, sound):
    inputs, chain = [], ""
    for i, (colour, seconds) in enumerate(parts):
        r, g, b = COLOURS[colour]
        inputs += ["-f", "lavfi", "-i", "color=c=0x%02x%02x%02x:size=320x240:rate=30:duration=%d" % (r, g, b, seconds)]
        chain += "[%d:v]" % i
    audio = []
    if sound:
        total = sum(seconds for _, seconds in parts)
        inputs += ["-f", "lavfi", "-i", "sine=frequency=440:duration=%d" % total]
        audio = ["-map", "%d:a" % len(parts), "-c:a", "pcm_s16le"]
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y"] + inputs +
                   ["-filter_complex", chain + "concat=n=%d:v=1[v]" % len(parts), "-map", "[v]",
                    "-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"] + audio + [path], check=True)


def make_image(path, colour):
    subprocess.run(["convert", "-size", "640x480", "xc:rgb(%d,%d,%d)" % COLOURS[colour], path], check=True)


def section_exists(section):
    return os.path.exists("/dev/shm/" + section.lstrip("/"))


def tell_program_log(user):
    """After a failure: the end of the program's log, where a source that stalled or failed says so."""
    path = os.path.join(user.program, "kalimo.log")
    if os.path.exists(path):
        with open(path, errors="replace") as kept:
            print("--- the end of kalimo.log:\n" + "".join(kept.readlines()[-40:]), flush=True)


def processes_with(variable):
    """Process ids whose environment holds `variable` (NAME=value): what this test started."""
    wanted = b"\0" + variable.encode() + b"\0"
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                if stat.read().rsplit(")", 1)[1].split()[0] in ("Z", "X"):
                    continue  # ended, not yet reaped by whoever inherited it
            with open("/proc/%s/environ" % entry, "rb") as environ:
                if wanted in b"\0" + environ.read() + b"\0":
                    found.append(int(entry))
        except (OSError, IndexError):
            pass
    return [pid for pid in found if pid != os.getpid()]


def beside_program(bin_dir):
    """The files a user makes beside the program, with their times: the test never touches the
    real program's."""
    state = {}
    for name in ("chapters.dat", "actionAndMovie.dat", "images.dat", "config.ini", "kalimo.log"):
        path = os.path.join(bin_dir, name)
        state[name] = os.stat(path).st_mtime_ns if os.path.exists(path) else None
    return state


class UserSetUp:
    """What one user of the program has: a home, XDG folders, a program folder as the build ships
    it (no user files), a working folder with the logging configuration, and a frame section name."""

    def __init__(self, session, bin_dir, root, fake_plugins=None):
        self.bin = bin_dir
        self.root = root
        self.home = os.path.join(root, "home")
        self.program = os.path.join(root, "program")
        self.work = os.path.join(root, "work")
        for folder in (self.home, self.program, self.work):
            os.makedirs(folder)
        # Shipped beside the program: pictures, the sample, the icon (read only, linked) and the
        # configuration (copied: the program writes it).
        for name in ("Bitmap", "Image", "video", "kalimo.png"):
            os.symlink(os.path.join(bin_dir, name), os.path.join(self.program, name))
        shutil.copy(os.path.join(bin_dir, "config.ini"), self.program)
        shutil.copy(os.path.join(bin_dir, "log4trovella.properties"), self.work)
        self.section = "/kalimo-e2e-" + uuid.uuid4().hex
        runtime = os.path.join(self.home, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env = dict(session.env, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                        XDG_DATA_HOME=os.path.join(self.home, "data"), XDG_CACHE_HOME=os.path.join(self.home, "cache"),
                        XDG_RUNTIME_DIR=runtime, KALIMO_PROGRAM_DIR=self.program, KALIMO_SECTION=self.section,
                        GST_REGISTRY=os.path.join(self.home, "gst-registry.bin"), LANG="C.UTF-8",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.env.pop("GST_PLUGIN_PATH", None)
        if fake_plugins:
            self.env.update(GST_PLUGIN_PATH=fake_plugins,
                            KALIMO_FAKE_CAMERAS="Desk Cam|raw:320x240")
        # Links must not start a real browser or file manager.
        tools = os.path.join(root, "tools")
        os.makedirs(tools)
        with open(os.path.join(tools, "xdg-open"), "w") as opener:
            opener.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(tools, "xdg-open"), 0o755)
        self.env.update(PATH=tools + ":" + self.env.get("PATH", "/usr/bin:/bin"), BROWSER="true")
        # The camera registered for this user, as scripts/run does.
        subprocess.run([os.path.join(bin_dir, "ostrel-register"), "--plugin", os.path.join(bin_dir, "libgstostrel.so")],
                       env=self.env, check=True,
                       stdout=subprocess.DEVNULL)

    def client_env(self):
        """A camera client's environment: the section of this user, and a copy of the plugin, so
        that the client never starts a program of its own. KALIMO_E2E_CLIENT_PLUGIN names another
        build of the plugin for the client (the sanitizer build's); KALIMO_E2E_CLIENT_PRELOAD the
        sanitizer runtime that such a plugin needs loaded first in an uninstrumented client."""
        plugins = os.path.join(self.root, "client-plugin")
        if not os.path.isdir(plugins):
            os.makedirs(plugins)
            shutil.copy(os.environ.get("KALIMO_E2E_CLIENT_PLUGIN") or os.path.join(self.bin, "libgstostrel.so"),
                        os.path.join(plugins, "libgstostrel.so"))
        env = dict(self.env, GST_PLUGIN_PATH=plugins, GST_REGISTRY=os.path.join(self.root, "client-registry.bin"),
                   XDG_DATA_HOME=os.path.join(self.root, "client-data"))
        if os.environ.get("KALIMO_E2E_CLIENT_PRELOAD"):
            # Leaks are the unit tests' business (GStreamer's own would drown them here); memory
            # errors and undefined behaviour stop the client with a report.
            env.update(LD_PRELOAD=os.environ["KALIMO_E2E_CLIENT_PRELOAD"], ASAN_OPTIONS="detect_leaks=0",
                       UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
        return env

    def start(self, session):
        return session.start([os.path.join(self.bin, "kalimo")], env=self.env, cwd=self.work,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def storage(self, *parts):
        return os.path.join(self.home, "Videos", "Kalimo", *parts)


class Shots:
    """One picture per step, when a folder for them is given."""

    def __init__(self, session, folder):
        self.session, self.folder = session, folder
        if folder:
            os.makedirs(folder, exist_ok=True)

    def region(self, name, left, top, right, bottom):
        if not self.folder:
            return
        left, top = max(0, left), max(0, top)
        right, bottom = min(SCREEN[0], right), min(SCREEN[1], bottom)
        time.sleep(0.7)  # let the windows finish painting: the picture is for people, not a proof
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                        "+repage", os.path.join(self.folder, name)], env=self.session.env, check=True)
        log("screenshot " + name)

    def framed(self, name, window):
        """A window with the frame the window manager gave it."""
        if self.folder:
            time.sleep(0.7)
            subprocess.run(["import", "-frame", "-window", str(window), os.path.join(self.folder, name)],
                           env=self.session.env, check=True)
            log("screenshot " + name)

    def windows(self, name, windows, margin=4):
        boxes = [geometry(self.session, w) for w in windows]
        self.region(name, min(b[0] for b in boxes) - margin, min(b[1] for b in boxes) - margin,
                    max(b[0] + b[2] for b in boxes) + margin, max(b[1] + b[3] for b in boxes) + margin)


# ---------------------------------------------------------------------------------------------
# The steps.

class EndToEnd:
    def __init__(self, session, user, shots):
        self.session, self.user, self.shots = session, user, shots
        self.made = {}  # path -> digest of every file the user made

    def connect(self):
        import pyatspi
        desktop = pyatspi.Registry.getDesktop(0)
        apps = []
        XSession.wait_for(lambda: apps.extend(a for a in desktop if a is not None and a.name == "Kalimo") or apps,
                          "kalimo on the accessibility bus")
        self.app = apps[0]

    def pair(self, caption):
        """The main window and the current tab's playing window, both shown."""
        return one_window(self.session, "Kalimo"), one_window(self.session, caption)

    def first_start(self, camera, sample_frames):
        user = self.user
        shipped_config = digest(os.path.join(user.program, "config.ini"))
        self.kalimo = user.start(self.session)
        main, playing = self.pair("视频预览区")
        self.connect()
        # The sample is listed, in the group of the user's own videos, and plays.
        wait_find(self.app, "tree item", "我的视频分组")
        wait_find(self.app, "tree item", os.path.basename(SAMPLE))
        chapters = os.path.join(user.program, "chapters.dat")
        XSession.wait_for(lambda: os.path.exists(chapters), "chapters.dat")
        assert list_lines(chapters) == [SAMPLE], list_lines(chapters)
        camera.wait_until(lambda f: is_one_of(f, sample_frames), "the sample video")
        # Start-up writes no settings; it makes the storage folders in the default root.
        assert digest(os.path.join(user.program, "config.ini")) == shipped_config, "config.ini changed at start"
        for folder in ("照片", "录像"):
            assert os.path.isdir(user.storage(folder)), "no storage folder " + folder
        # The XviD codec's value lives in the session's own store, which ends with the session.
        with open(os.path.join(user.env["XDG_RUNTIME_DIR"], "kalimo", "registry.reg"), encoding="utf-8") as store:
            assert '"display_status"=dword:00000000' in store.read(), "no XviD value in the session's store"
        self.shots.windows("first-start.png", [main, playing])

    def popups(self):
        return set(self.session.run(["xdotool", "search", "--onlyvisible", "--class", "kalimo"]).split())

    def menu(self, row, keys, done, what):
        """The context menu of a tree row, driven by keys (assistive technology does not list popup
        menus) until `done()`. "Right" opens a submenu; the keys after it wait until it shows. On a
        loaded machine a menu can take keys before it has grabbed the keyboard: then it is closed
        and opened again."""
        for _ in range(3):
            before = self.popups()
            act(row, "ShowMenu")
            XSession.wait_for(lambda: self.popups() - before, "the context menu")
            for key in keys:
                time.sleep(0.3)
                shown = self.popups()
                self.session.run(["xdotool", "key", key])
                if key == "Right":
                    XSession.wait_for(lambda: self.popups() - shown, "the submenu")
            try:
                XSession.wait_for(done, what, timeout=15)
                return
            except AssertionError:
                self.session.run(["xdotool", "key", "Escape", "Escape"])
                XSession.wait_for(lambda: not self.popups() - before, "the menu closed")
        raise AssertionError("the context menu did not give " + what)

    def choose_files(self, paths):
        """The open-file dialog, in Qt's Chinese: the paths typed into its name field, then "打开"."""
        dialog = wait_find(self.app, "dialog", OPEN_DIALOG)
        set_text(wait_find(dialog, "text", FILE_NAME_FIELD), " ".join('"%s"' % p for p in paths))
        act(wait_find(dialog, "push button", OPEN_BUTTON))

    def choose_entry(self, dialog, entry, keys):
        """A combo box of the dialog set by keys until it shows `entry` (a combo box is named by its
        current entry on Linux)."""
        combo = wait_find(dialog, "combo box", None)
        for _ in range(3):
            if combo.name == entry:
                return
            combo.queryComponent().grabFocus()
            time.sleep(0.3)
            self.session.run(["xdotool", "key"] + keys)
            try:
                XSession.wait_for(lambda: combo.name == entry, "the entry " + entry, timeout=5)
                return
            except AssertionError:
                pass
        raise AssertionError("the combo box shows %r, not %r" % (combo.name, entry))

    def add_clips(self, clips_folder):
        act(wait_find(self.app, "push button", "添加分组"))
        dialog = wait_find(self.app, "dialog", "组编辑对话框")
        set_text(wait_find(dialog, "text", "分组名称："), GROUP)
        act(wait_find(dialog, "push button", "确定"))
        self.menu(wait_find(self.app, "tree item", GROUP), ["Down", "Return"],  # "添加视频"
                  lambda: present(self.app, "dialog", OPEN_DIALOG), "the open-file dialog")
        self.choose_files([os.path.join(clips_folder, name) for name, _, _ in CLIPS])
        for name, _, _ in CLIPS:
            wait_find(self.app, "tree item", name)
        XSession.wait_for(lambda: [l for l in self.chapters() if l.startswith(GROUP + "&")] ==
                          [GROUP + "&" + os.path.join(clips_folder, n) for n, _, _ in CLIPS], "the clips in chapters.dat")
        self.clips = clips_folder

    def chapters(self):
        return list_lines(os.path.join(self.user.program, "chapters.dat"))

    def set_mode(self, downs, done, what):
        """The group's context menu, "分组播放模式", the entry `downs` below the first."""
        self.menu(wait_find(self.app, "tree item", GROUP), ["Down"] * 5 + ["Right"] + ["Down"] * downs + ["Return"],
                  done, what)

    def mode_line(self, line):
        return lambda: line in self.chapters()

    def double_click(self, accessible):
        x, y = centre_of(accessible)
        self.session.run(["xdotool", "mousemove", str(x), str(y), "click", "--repeat", "2", "--delay", "80", "1"])

    def play(self, clip):
        log("double click on " + clip)
        self.double_click(wait_find(self.app, "tree item", clip))
        wait_find(self.app, "label", "现在正在播放的视频是：" + clip)

    def play_modes(self, camera):
        # Each mode starts a clip whose first colour differs from what the camera showed before, so
        # that a picture left over is never taken for the clip's.
        # Loop: after the last clip the first.
        self.set_mode(0, self.mode_line(GROUP + "&mode&0"), "loop mode in chapters.dat")
        self.play("red.avi")
        camera.wait_colour("red")
        camera.wait_colour("blue")
        log("loop: red, then blue")
        # Once: the clip's last picture stays; neither the clip again nor the next one follows.
        self.set_mode(2, lambda: not any(l.startswith(GROUP + "&mode&") for l in self.chapters()),
                      "no mode line (play once) in chapters.dat")
        self.play("green.avi")
        camera.wait_colour("green")
        camera.wait_colour("white")
        seek = wait_find(self.app, "slider", "播放进度").queryValue()
        XSession.wait_for(lambda: seek.maximumValue > 0 and seek.currentValue >= seek.maximumValue - 300,
                          "the seek bar at the end of green.avi")
        seen = camera.colours_for(6)
        assert seen and set(seen) == {"white"}, "after the end of green.avi the camera showed %s" % seen
        log("once: green, then white stays")
        # Repeat one: the clip again from its start.
        self.set_mode(1, self.mode_line(GROUP + "&mode&1"), "repeat mode in chapters.dat")
        self.play("green.avi")
        for colour in ("green", "white", "green", "white"):
            camera.wait_colour(colour)
        log("repeat one: green, white, green, white")
        # Seamless: the idle clip between the others, looping.
        self.set_mode(3, lambda: present(self.app, "dialog", "无缝衔接播放模式设置"), "the seamless dialog")
        dialog = wait_find(self.app, "dialog", "无缝衔接播放模式设置")
        self.choose_entry(dialog, "green.avi", ["Home", "Down"])
        act(wait_find(dialog, "push button", "确定"))
        idle = GROUP + "&prevent&" + os.path.join(self.clips, "green.avi")
        XSession.wait_for(lambda: GROUP + "&mode&3" in self.chapters() and idle in self.chapters(),
                          "seamless mode with green.avi idle in chapters.dat")
        self.play("red.avi")
        camera.wait_colour("red")
        main, playing = self.pair("视频预览区")
        self.shots.windows("video-tab.png", [main, playing])
        for colour in ("green", "white", "green"):
            camera.wait_colour(colour)
        log("seamless: red, then the idle clip looping")

    def bookmark(self, camera):
        # "视频书签（…）", the third entry a video's menu offers.
        self.menu(wait_find(self.app, "tree item", "blue.avi"), ["Down", "Down", "Down", "Return"],
                  lambda: present(self.app, "dialog", "视频书签编辑界面"), "the bookmark editor")
        editor = wait_find(self.app, "dialog", "视频书签编辑界面")
        self.choose_entry(editor, "blue.avi", ["Home"])
        act(wait_find(editor, "push button", "添加书签"))
        capture = wait_find(self.app, "dialog", "添加动作")
        # Drag the slider's handle to about four fifths: into the magenta end of blue.avi.
        slider = wait_find(capture, "slider", None)
        value = slider.queryValue()
        # The slider takes the video's length (milliseconds) at the dialog's first tick.
        XSession.wait_for(lambda: value.maximumValue >= 39000, "the capture dialog's slider over the video")
        box = slider.queryComponent().getExtents(0)
        handle = lambda fraction: (box.x + 10 + int((box.width - 20) * fraction), box.y + box.height // 2)
        start, end = handle(value.currentValue / value.maximumValue), handle(0.83)
        self.session.run(["xdotool", "mousemove", str(start[0]), str(start[1]), "mousedown", "1"])
        for step in range(1, 9):
            self.session.run(["xdotool", "mousemove", str(start[0] + (end[0] - start[0]) * step // 8), str(end[1])])
            time.sleep(0.05)
        self.session.run(["xdotool", "mouseup", "1"])
        XSession.wait_for(lambda: value.currentValue >= 30000, "the capture dialog's video past 30 s")
        act(wait_find(capture, "push button", "定在此时间"))
        time_edit = wait_find(capture, "text", "书签在视频中的时间点：")
        wait_find(capture, "push button", "继续播放")
        # Fine-tuned by whole seconds until the moment is well inside the magenta part.
        for _ in range(40):
            hours, minutes, seconds = (int(part) for part in text_of(time_edit).split(":"))
            if hours * 3600 + minutes * 60 + seconds >= 31:
                break
            shown = text_of(time_edit)
            act(wait_find(capture, "push button", "^"))
            XSession.wait_for(lambda: text_of(time_edit) != shown, "the time to move on by a second")
        moment = text_of(time_edit)
        assert "00:00:31" <= moment <= "00:00:39", "bookmark time " + moment
        name_box = wait_find(capture, "combo box", "书签名称：")
        set_text(wait_find(name_box, "text", None), "挥手")
        self.shots.framed("bookmark-capture.png", one_window(self.session, "添加动作"))
        act(wait_find(capture, "push button", "确定"))
        log("bookmark 挥手 at " + moment)
        # Triggered from the editor: the question (another clip plays), then the moment.
        row = wait_find(editor, "table cell", "挥手")
        x, y = centre_of(row)
        self.session.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
        act(wait_find(editor, "push button", "开始触发该书签"))
        question = wait_find(self.app, ("alert", "dialog"), "询问")
        wait_find(question, "label", "您要触发动作的自拍录像不在播放状态，请问是否要播放它并触发该动作？")
        act(wait_find(question, "push button", "确定"))
        camera.wait_colour("magenta", timeout=20)
        log("bookmark triggered: magenta")
        act(wait_find(editor, "push button", "保存且退出"))
        bookmarks = os.path.join(self.user.program, "actionAndMovie.dat")
        XSession.wait_for(lambda: os.path.exists(bookmarks), "actionAndMovie.dat")
        assert list_lines(bookmarks) == [GROUP + "&" + os.path.join(self.clips, "blue.avi"), "挥手-" + moment], \
            list_lines(bookmarks)

    def click_groove(self, slider, fraction):
        """A click (no drag) in the slider's groove, `fraction` of the way along it."""
        box = slider.queryComponent().getExtents(0)
        x, y = box.x + int(box.width * fraction), box.y + box.height // 2
        self.session.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])

    def seek_and_volume(self, camera, folder):
        """A click in the seek bar's groove at three quarters of the paused 20-second clip: the
        camera shows second 15. A click in the volume groove: the player plays at that volume."""
        name, _, _ = SEEK_CLIP
        act(wait_find(self.app, "push button", "添加"))
        self.choose_files([os.path.join(folder, name)])
        wait_find(self.app, "tree item", SEEK_FOLDER)
        self.play(name)
        camera.wait_colour("red")
        seek = wait_find(self.app, "slider", "播放进度")
        position = seek.queryValue()
        XSession.wait_for(lambda: position.maximumValue >= 19000, "the seek bar over the 20 s clip")
        # Paused, the picture changes only by the seek: red stays until the click.
        act(wait_find(self.app, "push button", "暂停"))
        wait_find(self.app, "push button", "播放")
        assert position.currentValue < 13000, "paused only at %d ms: too late to tell a seek" % position.currentValue
        self.click_groove(seek, 0.75)
        XSession.wait_for(lambda: 14000 <= position.currentValue <= 16500,
                          "the seek bar at about 15 s (it shows %d ms)" % position.currentValue)
        camera.wait_colour("teal", timeout=20)
        log("seek bar clicked at 3/4: the camera shows second %.1f" % (position.currentValue / 1000))
        # The volume bar starts at full volume; a click at a quarter turns it down, and the player
        # reports (in kalimo.log) the volume it now plays at, the bar's position in 1/100 dB.
        volume_bar = wait_find(self.app, "slider", "音量")
        volume = volume_bar.queryValue()
        full = volume.maximumValue
        self.click_groove(volume_bar, 0.25)
        XSession.wait_for(lambda: volume.currentValue < full / 2, "the volume bar turned down")
        reported = re.compile(r"volume (-?\d+) \(1/100 dB\), the bar at (\d+)")
        program_log = os.path.join(self.user.program, "kalimo.log")

        def last_report():
            with open(program_log, errors="replace") as kept:
                found = reported.findall(kept.read())
            return (int(found[-1][0]), int(found[-1][1])) if found else None
        XSession.wait_for(lambda: last_report() and last_report()[1] == int(volume.currentValue),
                          "the player's volume in kalimo.log")
        heard, bar = last_report()
        assert abs(heard - (bar - full)) <= 5, "the player plays at %d, the bar asks for %d" % (heard, bar - full)
        log("volume bar clicked at 1/4: the player plays at %d (1/100 dB)" % heard)

    def switch_tab(self, tab, caption):
        act(wait_find(self.app, "page tab", tab))
        return self.pair(caption)

    def image_tab(self, camera, images_folder):
        main, playing = self.switch_tab("图像", "效果区")
        act(wait_find(self.app, "push button", "添加"))
        self.choose_files([os.path.join(images_folder, name) for name, _ in IMAGES])
        # The slideshow goes through the three images, in list order, again and again.
        order = [colour for _, colour in IMAGES]
        first = camera.wait_until(lambda f: colour_name(centre(f)) in order, "one of the images")
        at = order.index(colour_name(centre(first)))
        for step in range(1, 4):
            camera.wait_colour(order[(at + step) % 3], timeout=20)
        log("image tab: the camera went through the three images in order")
        self.shots.windows("image-tab.png", [main, playing])

    def camera_tab(self, camera):
        main, playing = self.switch_tab("真实摄像头", "预览真实摄像头")
        # The real camera is listed; the virtual camera itself (registered for this user) is not.
        cameras = wait_find(self.app, "list", "摄像头名称")
        XSession.wait_for(lambda: [item.name for item in cameras] == ["Desk Cam"], "the camera list")
        camera.wait_until(bars_shown, "the fake camera's colour bars")
        self.shots.windows("camera-tab.png", [main, playing])
        # A photo: the camera's picture as a JPEG in the photo folder.
        import pyatspi
        photos = self.user.storage("照片")
        photo_button = wait_find(self.app, "push button", "拍照")
        act(photo_button)
        XSession.wait_for(lambda: [n for n in os.listdir(photos) if n.endswith(".jpg")], "a photo")
        photo = os.path.join(photos, [n for n in os.listdir(photos) if n.endswith(".jpg")][0])
        XSession.wait_for(lambda: photo_button.getState().contains(pyatspi.STATE_ENABLED),
                          "the photo button enabled again (the photo written)")
        described = subprocess.run(["identify", "-format", "%m %wx%h", photo], capture_output=True, text=True,
                                   check=True).stdout
        assert described == "JPEG 320x240", "the photo reads as " + described
        self.made[photo] = digest(photo)
        log("photo " + os.path.basename(photo))
        # Five seconds recorded, then offered to the video list.
        act(wait_find(self.app, "push button", "录影"))
        stop = wait_find(self.app, "push button", "停止录像")
        time.sleep(5)  # what the user records
        act(stop)
        question = wait_find(self.app, ("alert", "dialog"), "询问")
        wait_find(question, "label", "视频录制成功，是否需要把刚才录制的视频添加到虚拟视频的播放列表中")
        act(wait_find(question, "push button", "确定"))
        movies = self.user.storage("录像")
        movie = os.path.join(movies, [n for n in os.listdir(movies) if n.endswith(".avi")][0])
        XSession.wait_for(lambda: self.chapters()[-1:] == [movie], "the movie listed last in chapters.dat")
        probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                                "stream=codec_name,width,height,nb_read_frames", "-of", "default=nw=1", movie],
                               capture_output=True, text=True, check=True).stdout
        fields = dict(line.split("=", 1) for line in probe.split())
        assert (fields["codec_name"], fields["width"], fields["height"]) == ("rawvideo", "320", "240"), probe
        assert int(fields["nb_read_frames"]) >= 24, "only %s frames in five seconds" % fields["nb_read_frames"]
        self.made[movie] = digest(movie)
        self.movie = movie
        log("movie %s: %s frames" % (os.path.basename(movie), fields["nb_read_frames"]))

    def screen_tab(self, camera, root):
        main, playing = self.switch_tab("捕获屏幕", "效果区")
        self.shots.windows("screen-tab.png", [main, playing])
        # What is on the screen: the desktop's backdrop, one colour.
        backdrop = os.path.join(root, "backdrop.png")
        subprocess.run(["convert", "-size", "%dx%d" % SCREEN, "xc:rgb(%d,%d,%d)" % COLOURS["backdrop"], backdrop],
                       check=True)
        # display paints the root window and exits with 1 all the same; the camera shows the effect.
        subprocess.run(["display", "-window", "root", backdrop], env=self.session.env, check=False)
        act(wait_find(self.app, "radio button", "整个屏幕（按ESC退出）"), "Toggle")
        act(wait_find(self.app, "push button", "开始"))
        XSession.wait_for(lambda: not visible_windows(self.session, "Kalimo"), "the main window hidden for the capture")
        # The screen window floats in the lower right corner, on top, showing what is captured.
        floating = one_window(self.session, "效果区")
        XSession.wait_for(lambda: geometry(self.session, floating)[2:] == (320, 240) and
                          geometry(self.session, floating)[:2] == (SCREEN[0] - 330, SCREEN[1] - 250),
                          "the screen window in the lower right corner")
        camera.wait_colour("backdrop")
        log("screen tab: the camera shows the screen")
        self.session.run(["xdotool", "key", "Escape"])
        main, playing = self.pair("效果区")
        XSession.wait_for(lambda: geometry(self.session, playing)[2:] ==
                          (PLAYING_WINDOW_WIDTH, geometry(self.session, main)[3]), "the screen window back in its place")
        log("screen tab: Escape ended the capture")
        # The desktop black again, for the pictures that follow.
        subprocess.run(["convert", "-size", "%dx%d" % SCREEN, "xc:black", backdrop], check=True)
        subprocess.run(["display", "-window", "root", backdrop], env=self.session.env, check=False)

    def settings(self, name):
        act(wait_find(self.app, "push button", "参数设置"))
        dialog = wait_find(self.app, "dialog", "Setting")
        edit = wait_find(dialog, "text", "虚拟摄像头名称：")
        assert text_of(edit) == CAMERA_NAME, "the dialog names the camera " + text_of(edit)
        set_text(edit, name)
        self.shots.framed("settings.png", one_window(self.session, "Setting"))
        act(wait_find(dialog, "push button", "确定"))
        XSession.wait_for(lambda: not visible_windows(self.session, "Setting"), "the settings dialog closed")
        listed = subprocess.run(["gst-device-monitor-1.0", "Video/Source"], env=self.user.env, capture_output=True,
                                text=True, timeout=120).stdout
        names = [line.split(":", 1)[1].strip() for line in listed.splitlines() if line.strip().startswith("name")]
        assert name in names and CAMERA_NAME not in names, "the device monitor lists %s" % names
        # The save keeps what the program never writes (the camera's configured name).
        with open(os.path.join(self.user.program, "config.ini"), encoding="utf-8") as config:
            text = config.read()
        assert "name=" + CAMERA_NAME in text and "resourcespath=default" in text, text
        log("settings: the camera is listed as " + name)

    def back_to_videos(self):
        self.switch_tab("视频文件", "视频预览区")
        # The groups as they were left, and the recorded movie with the user's own videos.
        for name in [GROUP] + [clip for clip, _, _ in CLIPS] + ["我的视频分组", os.path.basename(self.movie)]:
            wait_find(self.app, "tree item", name)

    def tray_and_quit(self):
        act(wait_find(find_window(self.app, "Kalimo"), "push button", "最小化"))
        XSession.wait_for(lambda: not visible_windows(self.session, "Kalimo") and
                          not visible_windows(self.session, "视频预览区"), "the windows hidden to the tray")
        # A click on the icon brings all back; on a loaded machine the first click can come before
        # the tray has mapped the icon again.
        deadline = time.monotonic() + 60
        while not visible_windows(self.session, "Kalimo") and time.monotonic() < deadline:
            x, y = tray_icon(self.session)
            self.session.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
            try:
                XSession.wait_for(lambda: visible_windows(self.session, "Kalimo"), "the main window back", timeout=5)
            except AssertionError:
                pass
        self.pair("视频预览区")
        log("back from the tray")
        for path in ("chapters.dat", "config.ini", "actionAndMovie.dat", "images.dat"):
            self.made[os.path.join(self.user.program, path)] = digest(os.path.join(self.user.program, path))
        for attempt in range(3):
            open_tray_menu(self.session)
            if attempt == 0:
                x, y = tray_icon(self.session)
                self.shots.region("tray-menu.png", x - 360, 0, SCREEN[0], y + 200)
            time.sleep(0.3)  # the menu is mapped before it has grabbed the keyboard
            self.session.run(["xdotool", "key", "Up", "Return"])  # the last entry, "退出系统"
            try:
                XSession.wait_for(lambda: present(self.app, ("alert", "dialog"), "询问"), "the exit question", 15)
                break
            except AssertionError:
                self.session.run(["xdotool", "key", "Escape"])
        question = wait_find(self.app, ("alert", "dialog"), "询问")
        wait_find(question, "label", "是否确实要退出系统?")
        act(wait_find(question, "push button", "确定"))
        assert self.kalimo.wait(timeout=60) == 0, "kalimo ended with %s" % self.kalimo.returncode
        log("ended through the tray menu")


def find_window(app, title):
    return wait_find(app, "dialog", title)


def launched_by_the_camera(session, bin_dir, root, sample_frames):
    """A client of the camera while Kalimo is not running: the camera starts Kalimo from its own
    folder, and the client gets the sample."""
    user = UserSetUp(session, bin_dir, root)
    variable = "KALIMO_SECTION=" + user.section
    assert not processes_with(variable)
    # The plugin as registered for the user: a link to the real file beside kalimo.
    client = CameraClient(dict(user.env), cwd=user.work)
    started = []
    try:
        client.wait_until(lambda f: is_one_of(f, sample_frames), "the sample from the started program", timeout=120)
        log("launch: the client gets the sample")
        started = [pid for pid in processes_with(variable) if pid != client.process.pid]
        assert len(started) == 1, "programs started: %s" % started
        assert os.path.realpath("/proc/%d/exe" % started[0]) == os.path.realpath(os.path.join(bin_dir, "kalimo"))
        assert list_lines(os.path.join(user.program, "chapters.dat")) == [SAMPLE]
        # SIGTERM ends it cleanly, as the session's end would.
        os.kill(started[0], signal.SIGTERM)
        XSession.wait_for(lambda: started[0] not in processes_with(variable), "the started program to end")
        assert not section_exists(user.section), "the frame section outlived the started program"
    finally:
        client.stop()
        for pid in processes_with(variable):  # only a program this test's client started
            os.kill(pid, signal.SIGKILL)
        remove_section(user.section)
