# Sourced by the build and test scripts: a private Wine prefix and X display for
# the Windows programs, with Wine's server started detached from our pipes (else
# CTest waits for it for ever) and stopped on exit, also on failure. Stopping
# ends every Wine program of the prefix: one run of the scripts at a time.
VELK_ROOT=${VELK_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$VELK_ROOT/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
VELK_XVFB_PID=

velk_wine_start() {
    if [ -z "${DISPLAY:-}" ]; then
        local display=:$((90 + RANDOM % 400))
        Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        VELK_XVFB_PID=$!
        export DISPLAY=$display
        sleep 0.5
    fi
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    fi
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 &
    disown || true
    # The test display has no window manager: let Wine manage its windows
    # itself, else every hidden or destroyed top-level window waits two
    # seconds for a manager's answer.
    if ! grep -qs '"Managed"="N"' "$WINEPREFIX/user.reg"; then
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
    fi
    # Start the prefix's own background programs (device and services hosts)
    # now, detached, so that no test program is the one that starts them.
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
    trap velk_wine_stop EXIT
}

velk_wine_stop() {
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    if [ -n "$VELK_XVFB_PID" ]; then
        kill "$VELK_XVFB_PID" 2>/dev/null || true
        VELK_XVFB_PID=
    fi
}
