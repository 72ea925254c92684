"""A ScreenCast portal for tests, on the session bus it is started on (the test's own): it owns
org.freedesktop.portal.Desktop, answers CreateSession, SelectSources and Start through Request
objects' Response signals as the desktop's portal does, and "shares a monitor": at Start it runs a
real PipeWire stream (videotestsrc into pipewiresink) and hands out its node id; OpenPipeWireRemote
gives a connection to the test's PipeWire daemon. What it is asked is printed, one line each:
"ready", "select types=T cursor_mode=C", "stream node=N", "closed by client", "closed by portal".
SIGUSR1 makes it end every session itself, as the desktop's stop indicator does.

usage: fake_screencast_portal.py [--refuse] [--no-screencast] [--source-types N] [--size WxH]"""
import argparse
import ctypes
import json
import os
import signal
import socket
import subprocess
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
NODE_TIMEOUT_SECONDS = 30

INTERFACES = Gio.DBusNodeInfo.new_for_xml("""<node>
  <interface name="org.freedesktop.portal.ScreenCast">
    <method name="CreateSession">
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="SelectSources">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <method name="OpenPipeWireRemote">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="h" direction="out"/>
    </method>
    <property name="AvailableSourceTypes" type="u" access="read"/>
    <property name="AvailableCursorModes" type="u" access="read"/>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.portal.Session">
    <method name="Close"/>
    <signal name="Closed"><arg type="a{sv}"/></signal>
  </interface>
  <interface name="org.freedesktop.portal.Settings">
  </interface>
</node>""")
SCREENCAST, SESSION, OTHER = INTERFACES.interfaces


def say(line):
    print(line, flush=True)


def die_with_parent():
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def node_id(name):
    """The id of the PipeWire node called `name`, or None while there is none."""
    dump = subprocess.run(["pw-dump"], capture_output=True, text=True).stdout
    try:
        objects = json.loads(dump)
    except ValueError:
        return None
    for item in objects:
        props = (item.get("info") or {}).get("props") or {}
        if item.get("type", "").endswith(":Node") and props.get("node.name") == name:
            return item["id"]
    return None


class Session:
    def __init__(self, portal, path):
        self.portal, self.path, self.stream = portal, path, None
        self.registration = portal.bus.register_object(path, SESSION, self.method_call, None, None)

    def method_call(self, bus, sender, path, interface, method, parameters, invocation):
        invocation.return_value(None)
        say("closed by client")
        self.end()

    def start_stream(self):
        name = "kalimo-fake-monitor-%d-%d" % (os.getpid(), id(self))
        width, height = self.portal.size
        self.stream = subprocess.Popen(
            ["gst-launch-1.0", "-q", "videotestsrc", "pattern=smpte", "is-live=true", "!",
             "video/x-raw,format=BGRx,width=%d,height=%d,framerate=15/1" % (width, height), "!",
             "pipewiresink", "mode=provide",
             "stream-properties=props,media.class=Video/Source,node.name=" + name],
            preexec_fn=die_with_parent, stdout=subprocess.DEVNULL)
        return name

    def end(self):
        if self.stream:
            self.stream.terminate()
            self.stream.wait()
            self.stream = None
        if self.registration:
            self.portal.bus.unregister_object(self.registration)
            self.registration = 0
        self.portal.sessions.pop(self.path, None)


class Portal:
    def __init__(self, options):
        self.options = options
        self.size = tuple(int(v) for v in options.size.split("x"))
        self.sessions = {}
        self.bus = None

    def acquired(self, bus, name):
        self.bus = bus
        if self.options.no_screencast:
            bus.register_object(PATH, OTHER, None, None, None)
        else:
            bus.register_object(PATH, SCREENCAST, self.method_call, self.get_property, None)

    def get_property(self, bus, sender, path, interface, name):
        values = {"AvailableSourceTypes": self.options.source_types, "AvailableCursorModes": 3, "version": 4}
        return GLib.Variant("u", values[name])

    def respond(self, request, code, results):
        self.bus.emit_signal(None, request, "org.freedesktop.portal.Request", "Response",
                             GLib.Variant("(ua{sv})", (code, results)))
        return False

    def method_call(self, bus, sender, path, interface, method, parameters, invocation):
        arguments = parameters.unpack()
        if method == "OpenPipeWireRemote":
            connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            connection.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], "pipewire-0"))
            descriptors = Gio.UnixFDList.new_from_array([connection.detach()])
            invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), descriptors)
            return
        options = arguments[-1]
        client = sender[1:].replace(".", "_")
        request = "%s/request/%s/%s" % (PATH, client, options["handle_token"])
        invocation.return_value(GLib.Variant("(o)", (request,)))
        if method == "CreateSession":
            session = "%s/session/%s/%s" % (PATH, client, options["session_handle_token"])
            self.sessions[session] = Session(self, session)
            GLib.idle_add(self.respond, request, 0, {"session_handle": GLib.Variant("s", session)})
        elif method == "SelectSources":
            say("select types=%d cursor_mode=%d" % (options.get("types", 0), options.get("cursor_mode", -1)))
            GLib.idle_add(self.respond, request, 0, {})
        elif method == "Start":
            session = self.sessions.get(arguments[0])
            if self.options.refuse or session is None:
                GLib.idle_add(self.respond, request, 1, {})
                return
            name = session.start_stream()
            deadline = time.monotonic() + NODE_TIMEOUT_SECONDS

            def announce():
                node = node_id(name)
                if node is None and time.monotonic() < deadline:
                    return True
                if node is None:
                    self.respond(request, 2, {})
                    return False
                say("stream node=%d" % node)
                stream = GLib.Variant("a(ua{sv})", [(node, {"size": GLib.Variant("(ii)", self.size),
                                                            "source_type": GLib.Variant("u", 1)})])
                self.respond(request, 0, {"streams": stream})
                return False
            GLib.timeout_add(100, announce)

    def close_all(self):
        for path, session in list(self.sessions.items()):
            session.end()
            self.bus.emit_signal(None, path, "org.freedesktop.portal.Session", "Closed",
                                 GLib.Variant("(a{sv})", ({},)))
            say("closed by portal")
        return True

    def quit(self, loop):
        for session in list(self.sessions.values()):
            session.end()
        loop.quit()
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--refuse", action="store_true", help="the user cancels the sharing dialog")
    parser.add_argument("--no-screencast", action="store_true", help="a portal without ScreenCast")
    parser.add_argument("--source-types", type=int, default=3)
    parser.add_argument("--size", default="320x240")
    portal = Portal(parser.parse_args())
    die_with_parent()
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, portal.close_all)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, portal.quit, loop)
    Gio.bus_own_name(Gio.BusType.SESSION, PORTAL, Gio.BusNameOwnerFlags.NONE, portal.acquired,
                     lambda bus, name: say("ready"), lambda bus, name: loop.quit())
    loop.run()


if __name__ == "__main__":
    sys.exit(main())
