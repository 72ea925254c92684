#!/usr/bin/env bash
# Runs the Windows programs of this tree under Wine, in one private prefix that the "setup" step
# creates fresh (with Ostrel.ax registered) and the "cleanup" step unregisters and deletes.
#   wine-test.sh BASE setup BIN
#   wine-test.sh BASE run BIN PROGRAM [ARGS...]      headless
#   wine-test.sh BASE run-x BIN PROGRAM [ARGS...]    on a private X server (for windows)
#   wine-test.sh BASE cleanup BIN
# BASE is a scratch folder of the build tree (HOME and WINEPREFIX live there); BIN holds the programs.
set -uo pipefail
base=$1 action=$2 bin=$3
shift 3

export HOME=$base/home WINEPREFIX=$base/prefix WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
unset DISPLAY WAYLAND_DISPLAY

ax=$(cd "$bin" && pwd)/Ostrel.ax
windows_path() { wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }

case "$action" in
  setup)
    wineserver -k 2>/dev/null
    rm -rf "$base"
    mkdir -p "$HOME"
    wine wineboot --init >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    wine regsvr32 /s "$(windows_path "$ax")" || { echo "regsvr32 Ostrel.ax failed" >&2; exit 1; }
    echo "registered $ax in $WINEPREFIX"
    ;;
  run)
    program=$1
    shift
    wine "$bin/$program" "$@"
    ;;
  run-x)
    program=$1
    shift
    xvfb-run -a -s "-screen 0 1024x768x24" wine "$bin/$program" "$@"
    ;;
  cleanup)
    status=0
    if [ -d "$WINEPREFIX" ]; then
      wine regsvr32 /u /s "$(windows_path "$ax")" || { echo "regsvr32 /u Ostrel.ax failed" >&2; status=1; }
      wine "$bin/ostrel-client.exe" unregistered || status=1
      wineserver -k 2>/dev/null
    fi
    rm -rf "$base"
    exit $status
    ;;
  *)
    echo "unknown action $action" >&2
    exit 2
    ;;
esac
