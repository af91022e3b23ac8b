#!/usr/bin/env bash
# Runs the installer's window driver under Wine on the X display and takes the
# screenshots it asks for (import -window root) into SHOTS_DIR.
#
# usage: window_test.sh DRIVER_EXE SHOTS_DIR WORK_DIR -- DRIVER_ARGUMENTS...
set -uo pipefail
driver=$1 shots=$2 work=$3
shift 4
WINE=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all

if [ -z "${DISPLAY:-}" ]; then
    echo "window_test: no X display (the wine_start fixture starts Xvfb)"
    exit 1
fi
# There is no window manager on the test display: let Wine draw the
# installer's own frame and caption, as Windows would (this program only).
"$WINE" reg add 'HKCU\Software\Wine\AppDefaults\VELK.Beta.Setup.exe\X11 Driver' /v Decorated /d N /f \
    </dev/null >/dev/null 2>&1
rm -rf "$work" "$shots"
mkdir -p "$work" "$shots"

# Each wait of the driver has a deadline of its own; this one, below CTest's,
# ends a driver caught anyway and says so.
limit=240
timeout "$limit" "$WINE" "$driver" "$@" --work "$work" --shots "$shots" </dev/null &
pid=$!

# Serve screenshot requests until the driver ends.
while kill -0 "$pid" 2>/dev/null; do
    for ready in "$shots"/*.ready; do
        [ -e "$ready" ] || continue
        name=$(basename "$ready" .ready)
        import -window root "$shots/$name.png" || echo "window_test: screenshot $name failed"
        rm -f "$ready"
        touch "$shots/$name.done"
    done
    sleep 0.2
done
wait "$pid"
status=$?
[ "$status" = 124 ] && echo "window_test: the window driver was still running after $limit s, stopped"
rm -f "$shots"/*.done "$shots"/*.ready
ls "$shots"/*.png 2>/dev/null
exit $status
