# Sourced by the build and test scripts: a private Wine prefix and X display for
# the Windows programs, with Wine's server started detached from our pipes (else
# CTest waits for it for ever) and stopped on exit, also on failure. Stopping
# ends every Wine program of the prefix: one run of the scripts at a time.
# The pieces are shared with the Windows tests' own fixture (tests/wine).
VELK_ROOT=${VELK_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$VELK_ROOT/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
VELK_XVFB_PID=

velk_wine_start() {
    if [ -z "${DISPLAY:-}" ]; then
        velk_xvfb_start || return 1
    fi
    velk_wineserver_start || true
    velk_prefix_ready
    trap velk_wine_stop EXIT
}

velk_wine_stop() {
    velk_wineserver_stop
    velk_xvfb_stop
}

# How long the X server may take to start or to end, in tenths of a second:
# far above what a loaded machine needs.
VELK_XVFB_TENTHS=600

# Starts Xvfb on a display it picks itself (the first free one, so runs side by
# side never clash) and exports DISPLAY once the server accepts connections.
velk_xvfb_start() {
    local answer tries=0
    answer=$(mktemp) || return 1
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 3>"$answer" &
    VELK_XVFB_PID=$!
    until [ -s "$answer" ]; do
        if ! kill -0 "$VELK_XVFB_PID" 2>/dev/null; then
            echo "wine-env: Xvfb ended before it took a display" >&2
            velk_xvfb_stop
            rm -f "$answer"
            return 1
        fi
        if [ $((tries += 1)) -gt "$VELK_XVFB_TENTHS" ]; then
            echo "wine-env: Xvfb took no display within $((VELK_XVFB_TENTHS / 10)) s" >&2
            velk_xvfb_stop
            rm -f "$answer"
            return 1
        fi
        sleep 0.1
    done
    export DISPLAY=:$(<"$answer")
    rm -f "$answer"
}

# Stops the Xvfb of VELK_XVFB_PID, if that process still is an Xvfb; one that
# does not end in time is killed.
velk_xvfb_stop() {
    [ -n "$VELK_XVFB_PID" ] || return 0
    if grep -qs '^Xvfb' "/proc/$VELK_XVFB_PID/cmdline"; then
        kill "$VELK_XVFB_PID" 2>/dev/null || true
        local tries=0
        while kill -0 "$VELK_XVFB_PID" 2>/dev/null && [ $((tries += 1)) -le "$VELK_XVFB_TENTHS" ]; do
            sleep 0.1
        done
        if kill -0 "$VELK_XVFB_PID" 2>/dev/null; then
            echo "wine-env: Xvfb did not end within $((VELK_XVFB_TENTHS / 10)) s, killed" >&2
            kill -KILL "$VELK_XVFB_PID" 2>/dev/null || true
        fi
    fi
    VELK_XVFB_PID=
}

# Starts the prefix's server, persistent and with every stream detached. Returns
# 0 when it started, 2 when one was running already.
velk_wineserver_start() {
    mkdir -p "$WINEPREFIX"
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
}

# Ends the prefix's server and every Wine program of the prefix, and waits for
# it; a server still there after a minute is killed.
velk_wineserver_stop() {
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    if ! timeout 60 "$WINESERVER" -w </dev/null >/dev/null 2>&1; then
        echo "wine-env: the Wine server did not end within 60 s, killed" >&2
        "$WINESERVER" -k9 </dev/null >/dev/null 2>&1 || true
    fi
}

# Creates the prefix once and starts its background programs.
velk_prefix_ready() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    fi
    # The test display has no window manager: let Wine manage its windows
    # itself, else every hidden or destroyed top-level window waits two
    # seconds for a manager's answer.
    if ! grep -qs '"Managed"="N"' "$WINEPREFIX/user.reg"; then
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
    fi
    # Start the prefix's own background programs (device and services hosts)
    # now, detached, so that no test program is the one that starts them.
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}
