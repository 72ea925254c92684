#!/usr/bin/env bash
# Takes the pictures of the main program in docs/: kalimo on a private X server with a window
# manager, the main window on each tab with its playing window, and the dialogs opened as a user
# would, each window captured with its frame. Usage: tests/shell/take-screenshots.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" "$work/Videos" && chmod 700 "$XDG_RUNTIME_DIR"
export LANG=C.UTF-8
# Links must not start a real browser here.
mkdir -p "$work/bin" && printf '#!/bin/sh\nexit 0\n' >"$work/bin/xdg-open" && chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH BROWSER=true
display=:$((RANDOM % 400 + 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox &
sleep 1
"$build/bin/ostrel-register" >/dev/null
unset QT_QPA_PLATFORM
(cd "$work" && "$build/bin/kalimo") &

wait_window() {  # title → window id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1) && [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window $1" >&2
  exit 1
}
shoot() {  # title, file
  local id
  id=$(wait_window "$1")
  sleep 0.5
  import -frame -window "$id" "$root/docs/$2"
  echo "docs/$2"
}

main=$(wait_window Kalimo)
click() {  # x, y inside the main window
  xdotool mousemove --window "$main" "$1" "$2" click 1
}
shoot_pair() {  # the main window and its docked playing window, file
  local x y w h
  sleep 0.7
  eval "$(xdotool getwindowgeometry --shell "$main")"
  x=$X y=$Y h=$HEIGHT w=$((WIDTH + 420))
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$root/docs/$1"
  echo "docs/$1"
}
# The tabs' centres in the main window, left to right.
tab_x=(38 112 177 236)
tab_y=128
for i in 0 1 2 3; do
  name=(video camera image screen)
  click "${tab_x[$i]}" "$tab_y"
  xdotool mousemove 0 0
  shoot_pair "main-window-${name[$i]}.png"
done
click 38 "$tab_y"

close_all() {  # every dialog above the main window
  while xdotool search --onlyvisible --name '^(帮助|关于|Setting)$' >/dev/null 2>&1; do
    xdotool key Escape
    sleep 0.3
  done
}
click 227 61                                       # 帮助
shoot 帮助 help-dialog.png
help=$(wait_window 帮助)
xdotool key --window "$help" shift+Tab space   # from 确定, the default button, to 关于
shoot 关于 about-dialog.png
close_all
click 195 61                                       # 参数设置
shoot Setting setting-dialog.png
close_all
