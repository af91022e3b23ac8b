#!/usr/bin/env bash
# The Windows tests' fixture (CTest entries wine_start and wine_stop): `start`
# gives the tests an X display and the prefix's Wine server, with every stream
# detached from CTest's pipes; `stop` ends what `start` began. A display already
# set (tools/test-all starts one) and a server already running are used and
# left alone. STATE, the build's own folder, holds the display the tests run on
# (read by on-display) and what `start` began.
#
# usage: fixture.sh start|stop STATE
set -uo pipefail
mode=$1 state=$2
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-env.sh"

stop() {
    if [ -f "$state/wineserver" ]; then
        velk_wineserver_stop
    fi
    if [ -f "$state/xvfb" ]; then
        VELK_XVFB_PID=$(<"$state/xvfb")
        velk_xvfb_stop
    fi
    rm -f "$state/display" "$state/xvfb" "$state/wineserver"
}

case $mode in
start)
    stop # whatever a run cut short left behind
    mkdir -p "$state"
    if [ -z "${DISPLAY:-}" ]; then
        velk_xvfb_start || exit 1
        echo "$VELK_XVFB_PID" >"$state/xvfb"
    fi
    velk_wineserver_start
    case $? in
    0) touch "$state/wineserver" ;;
    2) ;; # already running
    *)
        echo "fixture: the Wine server did not start" >&2
        exit 1
        ;;
    esac
    velk_prefix_ready
    echo "$DISPLAY" >"$state/display"
    echo "X display $DISPLAY, Wine prefix $WINEPREFIX"
    ;;
stop) stop ;;
*)
    echo "usage: fixture.sh start|stop STATE" >&2
    exit 2
    ;;
esac
