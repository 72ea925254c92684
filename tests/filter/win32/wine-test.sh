#!/usr/bin/env bash
# Runs the Windows programs of this tree under Wine, in one private prefix that the "setup" step
# creates fresh (with Ostrel.ax registered) and the "cleanup" step unregisters and deletes.
#   wine-test.sh BASE setup BIN
#   wine-test.sh BASE run BIN PROGRAM [ARGS...]
#   wine-test.sh BASE cleanup BIN
# BASE is a scratch folder of the build tree (HOME and WINEPREFIX live there); BIN holds the programs.
# Wine's windows need an X server: the setup step starts a private Xvfb for the whole suite (a
# prefix whose desktop started without one cannot create windows later), and cleanup stops it.
set -uo pipefail
base=$1 action=$2 bin=$3
shift 3

export HOME=$base/home WINEPREFIX=$base/prefix WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
unset DISPLAY WAYLAND_DISPLAY
[ -s "$base/display" ] && export DISPLAY=":$(cat "$base/display")"

ax=$(cd "$bin" && pwd)/Ostrel.ax
windows_path() { wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }
stop_xvfb() { [ -s "$base/xvfb.pid" ] && kill "$(cat "$base/xvfb.pid")" 2>/dev/null; rm -f "$base/xvfb.pid"; }
fail_setup() { echo "$1" >&2; wineserver -k 2>/dev/null; stop_xvfb; exit 1; }

case "$action" in
  setup)
    wineserver -k 2>/dev/null
    stop_xvfb
    rm -rf "$base"
    mkdir -p "$HOME"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$base/display" >/dev/null 2>&1 &
    echo $! >"$base/xvfb.pid"
    for _ in $(seq 100); do [ -s "$base/display" ] && break; sleep 0.1; done
    [ -s "$base/display" ] || fail_setup "Xvfb did not start"
    export DISPLAY=":$(cat "$base/display")"
    wine wineboot --init >/dev/null 2>&1 || fail_setup "wineboot failed"
    wine regsvr32 /s "$(windows_path "$ax")" || fail_setup "regsvr32 Ostrel.ax failed"
    echo "registered $ax in $WINEPREFIX"
    ;;
  run)
    program=$1
    shift
    wine "$bin/$program" "$@"
    ;;
  cleanup)
    status=0
    if [ -d "$WINEPREFIX" ]; then
      wine regsvr32 /u /s "$(windows_path "$ax")" || { echo "regsvr32 /u Ostrel.ax failed" >&2; status=1; }
      wine "$bin/ostrel-client.exe" unregistered || status=1
      wineserver -k 2>/dev/null
    fi
    stop_xvfb
    rm -rf "$base"
    exit $status
    ;;
  *)
    echo "unknown action $action" >&2
    exit 2
    ;;
esac
