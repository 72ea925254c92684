#!/bin/sh
# Runs a command on a private 1920x1080 X display (Xvfb picks a free number) with openbox.
set -u
exec 3>&1
fifo=$(mktemp -u) && mkfifo "$fifo"
Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp 5>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r number <"$fifo"
rm -f "$fifo"
export DISPLAY=":$number"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE
openbox --sm-disable >/dev/null 2>&1 &
openbox=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
QT_QPA_PLATFORM=xcb "$@"
status=$?
kill "$openbox" "$xvfb" 2>/dev/null
wait "$openbox" "$xvfb" 2>/dev/null
exit $status
