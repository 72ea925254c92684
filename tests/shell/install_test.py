"""cmake --install as a user runs it, and Kalimo's desktop entries.

Installs the build into a temporary prefix (its name holds a space, as a home folder may) and
checks what a desktop needs: the entry passes desktop-file-validate, its Exec names the installed
program, its Icon is found in the installed icon theme at every size, and the program started the
way a desktop starts it (in the entry's Path) shows its main window with the entry's window class,
finds its updater, pictures and log configuration, and ends cleanly. The installed camera plugin
registers and loads from the prefix; nothing installed refers to the build tree; installing again
keeps the user's config.ini; DESTDIR staging writes the final paths into the entry. The build
tree's own entry is checked the same way.

usage: install_test.py BUILD_FOLDER"""
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import uuid

from guitest.session import XSession

ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
PROGRAM_FOLDER = os.path.join("lib", "kalimo")
COMMANDS = ["kalimo", "kalimo-feed", "ostrel-register", "ostrel-bridge"]
PROGRAM_FILES = COMMANDS + ["libgstostrel.so", "libDoveVurarir.so", "libScreenCapture.so", "config.ini",
                            "log4trovella.properties", "kalimo.png", "Bitmap/128.png", "Bitmap/153.png",
                            "Image/Setting.png", "Image/capturescreenintro.jpg",
                            "video/示例影音文件(使用时可以删除).avi"]


def unescape_string(value):
    """A value of type string: \\s \\n \\t \\r \\\\ as freedesktop.org's desktop entry format has them."""
    out, i = [], 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value):
            out.append({"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(value[i + 1], value[i:i + 2]))
            i += 2
        else:
            out.append(value[i])
            i += 1
    return "".join(out)


def exec_arguments(value):
    """The Exec value split into arguments: string unescaping, then the quoting rules."""
    command = unescape_string(value)
    arguments, i = [], 0
    while i < len(command):
        if command[i] == " ":
            i += 1
            continue
        word = []
        if command[i] == '"':
            i += 1
            while command[i] != '"':
                if command[i] == "\\":
                    assert command[i + 1] in '"`$\\', "bad escape in Exec: " + value
                    i += 1
                word.append(command[i])
                i += 1
            i += 1
        else:
            while i < len(command) and command[i] != " ":
                assert command[i] not in '"`$\\', "unquoted reserved character in Exec: " + value
                word.append(command[i])
                i += 1
        arguments.append("".join(word).replace("%%", "%"))
    return arguments


def read_entry(path):
    keys, group = {}, None
    with open(path, encoding="utf-8") as entry:
        for line in entry:
            line = line.rstrip("\n")
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, _, value = line.partition("=")
                keys[key.strip()] = value.strip()
    return keys


def validate(path):
    result = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True, check=False)
    problems = [line for line in (result.stdout + result.stderr).splitlines() if "error" in line or "warning" in line]
    assert result.returncode == 0 and not problems, "desktop-file-validate %s:\n%s%s" % (
        path, result.stdout, result.stderr)


def png_size(path):
    with open(path, "rb") as picture:
        head = picture.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG file"
    return struct.unpack(">II", head[16:24])


def check_program(path):
    assert os.path.isfile(path) and os.access(path, os.X_OK), "no program at " + path


def check_entry(path, program, icon_file_of):
    """The keys that make the entry start `program` in its folder with a findable icon."""
    validate(path)
    keys = read_entry(path)
    assert keys["Type"] == "Application" and keys["Name"] == "Kalimo", keys
    arguments = exec_arguments(keys["Exec"])
    assert arguments == [program], "Exec %r starts %r, not %r" % (keys["Exec"], arguments, program)
    check_program(program)
    assert unescape_string(keys["TryExec"]) == program, keys["TryExec"]
    folder = unescape_string(keys["Path"])
    assert folder == os.path.dirname(program), "Path %r" % folder
    # The program reads its log configuration from its working folder.
    assert os.path.isfile(os.path.join(folder, "log4trovella.properties"))
    icon = icon_file_of(unescape_string(keys["Icon"]))
    assert png_size(icon) == (256, 256), "%s: %s" % (icon, png_size(icon))
    assert "Video" in keys["Categories"].split(";"), keys["Categories"]
    return keys


def elf_runpaths(path):
    out = subprocess.run(["readelf", "-d", path], capture_output=True, text=True, check=True).stdout
    return [line.split("[", 1)[1].rstrip("]") for line in out.splitlines() if "(RUNPATH)" in line or "(RPATH)" in line]


def user_environment(home, extra=None):
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
               GST_REGISTRY=os.path.join(home, "registry.bin"), GST_REGISTRY_FORK="no")
    env.pop("GST_PLUGIN_PATH", None)
    env.update(extra or {})
    return env


def install(build, prefix, env=None):
    result = subprocess.run(["cmake", "--install", build, "--prefix", prefix], capture_output=True, text=True,
                            env=env, check=False)
    assert result.returncode == 0, "cmake --install failed:\n" + result.stdout + result.stderr
    return result.stdout


def check_installed_layout(build, prefix):
    program_folder = os.path.join(prefix, PROGRAM_FOLDER)
    for name in PROGRAM_FILES:
        assert os.path.isfile(os.path.join(program_folder, name)), "not installed: " + name
    for command in COMMANDS:
        link = os.path.join(prefix, "bin", command)
        assert os.path.islink(link), link + " is not a link"
        assert os.path.realpath(link) == os.path.realpath(os.path.join(program_folder, command)), link
    for size in ICON_SIZES:
        icon = os.path.join(prefix, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps", "kalimo.png")
        assert png_size(icon) == (size, size), "%s: %s" % (icon, png_size(icon))
    # The menu shows the picture the program shows as its window and tray icon.
    compared = subprocess.run(["compare", "-metric", "RMSE", os.path.join(program_folder, "kalimo.png"),
                               os.path.join(prefix, "share", "icons", "hicolor", "64x64", "apps", "kalimo.png"),
                               "null:"], capture_output=True, text=True, check=False)
    difference = float(compared.stderr.split("(")[1].split(")")[0])
    assert difference < 0.05, "the theme's icon differs from kalimo.png: RMSE " + compared.stderr
    # Nothing installed looks for its libraries in the build tree; the program finds its updater beside it.
    for name in os.listdir(program_folder):
        path = os.path.join(program_folder, name)
        if os.path.isfile(path) and open(path, "rb").read(4) == b"\x7fELF":
            for runpath in elf_runpaths(path):
                assert os.path.realpath(build) not in runpath and build not in runpath, "%s: %s" % (name, runpath)
    assert elf_runpaths(os.path.join(program_folder, "kalimo")) == ["$ORIGIN"]


def check_camera_plugin(prefix, home):
    """The installed ostrel-register links the installed plugin, and GStreamer loads it from there."""
    env = user_environment(home)
    registered = subprocess.run([os.path.join(prefix, "bin", "ostrel-register")], capture_output=True, text=True,
                                env=env, check=False)
    assert registered.returncode == 0, registered.stdout + registered.stderr
    link = os.path.join(home, ".local", "share", "gstreamer-1.0", "plugins", "libgstostrel.so")
    assert os.path.realpath(link) == os.path.realpath(os.path.join(prefix, PROGRAM_FOLDER, "libgstostrel.so")), link
    inspected = subprocess.run(["gst-inspect-1.0", "ostrelsrc"], capture_output=True, text=True, env=env, check=False)
    assert inspected.returncode == 0 and "Kalimo" in inspected.stdout, inspected.stdout + inspected.stderr


def window_class(session, window):
    out = session.run(["xprop", "-id", str(window), "WM_CLASS"])
    # WM_CLASS(STRING) = "instance", "Class"
    return [part.strip().strip('"') for part in out.split("=", 1)[1].split(",")]


def check_started_like_a_desktop(keys, program, home):
    """The entry's program in the entry's Path, on a display with a window manager."""
    with XSession() as session:
        env = dict(user_environment(home), DISPLAY=session.display, QT_QPA_PLATFORM="xcb",
                   XDG_RUNTIME_DIR=session.home, KALIMO_SECTION="kalimo-install-test-" + uuid.uuid4().hex)
        folder = unescape_string(keys["Path"])
        process = session.start([program], env=env, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            def main_window():
                return session.run(["xdotool", "search", "--onlyvisible", "--name", "^Kalimo$"]).split()
            XSession.wait_for(lambda: main_window() or process.poll() is not None, "the main window")
            assert process.poll() is None, "kalimo ended: %s" % process.stderr.read().decode()
            wm_class = window_class(session, int(main_window()[0]))
            assert keys["StartupWMClass"] in wm_class, "WM_CLASS %s, StartupWMClass %s" % (wm_class,
                                                                                           keys["StartupWMClass"])
            XSession.wait_for(lambda: session.run(["xdotool", "search", "--onlyvisible", "--name", "^视频预览区$"]),
                              "the video window")
            log = os.path.join(folder, "kalimo.log")
            XSession.wait_for(lambda: os.path.exists(log) and "begin to trovella" in open(log, encoding="utf-8").read(),
                              "the start in " + log)
            # The first start makes the storage folder in the user's Videos folder.
            for part in ("照片", "录像"):
                XSession.wait_for(lambda: os.path.isdir(os.path.join(home, "Videos", "Kalimo", part)), "the folder " + part)
            process.send_signal(signal.SIGTERM)
            assert process.wait(timeout=60) == 0
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()


def main():
    build = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="kalimo-install-")
    try:
        prefix = os.path.join(work, "Kalimo prefix")
        home = os.path.join(work, "home")
        os.makedirs(home)
        install(build, prefix)
        check_installed_layout(build, prefix)

        program = os.path.join(prefix, PROGRAM_FOLDER, "kalimo")
        installed_icon = lambda name: os.path.join(prefix, "share", "icons", "hicolor", "256x256", "apps",
                                                   name + ".png")
        keys = check_entry(os.path.join(prefix, "share", "applications", "kalimo.desktop"), program, installed_icon)
        assert keys["Icon"] == "kalimo", "an installed entry names its icon by the theme's name: " + keys["Icon"]
        check_camera_plugin(prefix, home)
        check_started_like_a_desktop(keys, program, home)

        # Installing again (an update) keeps the settings the user saved.
        config = os.path.join(prefix, PROGRAM_FOLDER, "config.ini")
        with open(config, "a", encoding="utf-8") as ini:
            ini.write("resourcespath=/kept/by/the/user\n")
        saved = open(config, "rb").read()
        install(build, prefix)
        assert open(config, "rb").read() == saved, "installing again replaced the user's config.ini"

        # A package build stages the files under DESTDIR; the entry names the final place.
        staged = os.path.join(work, "stage")
        install(build, "/opt/kalimo", env=dict(os.environ, DESTDIR=staged))
        staged_keys = read_entry(os.path.join(staged, "opt", "kalimo", "share", "applications", "kalimo.desktop"))
        assert exec_arguments(staged_keys["Exec"]) == ["/opt/kalimo/lib/kalimo/kalimo"], staged_keys["Exec"]
        assert os.path.isfile(os.path.join(staged, "opt", "kalimo", "lib", "kalimo", "config.ini"))

        # The build tree's entry starts the build's program, with the build's icon by its file.
        check_entry(os.path.join(build, "share", "applications", "kalimo.desktop"), os.path.join(build, "bin", "kalimo"),
                    lambda icon: icon)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("install_test: passed")


if __name__ == "__main__":
    main()
