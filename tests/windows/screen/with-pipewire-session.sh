#!/bin/sh
# Runs a command in a desktop session of its own, as on Wayland: a private runtime folder and user
# folders, a D-Bus session bus that starts no services (so only the test's own portal can own the
# portal's name, never the real desktop's), PipeWire and WirePlumber. Qt draws offscreen.
set -u
home=$(mktemp -d)
export XDG_RUNTIME_DIR="$home/runtime" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
       XDG_STATE_HOME="$home/state" XDG_CACHE_HOME="$home/cache"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
cat >"$home/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$XDG_RUNTIME_DIR/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
wait_for() {
  for _ in $(seq 200); do [ -e "$1" ] && return 0; sleep 0.05; done
  echo "$1 did not appear" >&2
  return 1
}
dbus-daemon --config-file="$home/bus.conf" --nofork >/dev/null 2>&1 &
bus=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
unset DISPLAY WAYLAND_DISPLAY
wait_for "$XDG_RUNTIME_DIR/bus"
pipewire >/dev/null 2>&1 &
pipewire=$!
wait_for "$XDG_RUNTIME_DIR/pipewire-0"
wireplumber >/dev/null 2>&1 &
wireplumber=$!
QT_QPA_PLATFORM=offscreen "$@"
status=$?
kill "$wireplumber" "$pipewire" "$bus" 2>/dev/null
wait "$wireplumber" "$pipewire" "$bus" 2>/dev/null
rm -rf "$home"
exit $status
