# Sourced: a persistent wineserver for the prefix in WINEPREFIX, so that each test process
# starts warm (about 0.1 s instead of 2.5 s). WINEARCH chooses the Wine: win32 (the
# default) runs i686 programs, win64 x86_64 ones with the 64-bit loader and server, which
# also work where the kernel refuses 32-bit programs.
export WINEARCH=${WINEARCH:-win32}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$WINEARCH" = win64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
    wine_loader=$WINELOADER
    wine_server=$WINESERVER
else
    wine_loader=wine
    wine_server=wineserver
fi

wine_run() {
    "$wine_loader" "$@"
}

wine_start() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$wine_loader" wineboot -i >/dev/null 2>&1
        "$wine_server" -w
    fi
    # Windows that Wine manages itself: without a window manager on the display, each window
    # that closes would otherwise wait two seconds for one.
    if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        "$wine_loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        "$wine_server" -w
    fi
    # A program that crashes ends at once instead of waiting for a debugger that nobody
    # drives: its test fails on the crash message, not later on its time-out.
    if grep -q '^"Debugger"="winedbg' "$WINEPREFIX/system.reg" 2>/dev/null; then
        "$wine_loader" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
            >/dev/null 2>&1
        "$wine_server" -w
    fi
    # Its messages are kept: a server that ends while tests run ends their processes with it.
    "$wine_server" -f -p >"$WINEPREFIX.server.log" 2>&1 &
    wine_server_pid=$!
    # Wait until the server answers, so the first test does not pay for its start.
    "$wine_loader" cmd /c exit >/dev/null 2>&1
}

# Says so when the server that wine_start started has ended before wine_stop, with how it ended.
wine_check_server() {
    [ -n "${wine_server_pid:-}" ] || return 0
    kill -0 "$wine_server_pid" 2>/dev/null && return 0
    wait "$wine_server_pid"
    echo "The wineserver ended while the tests ran (exit status $?); what it wrote:" >&2
    tail -n 40 "$WINEPREFIX.server.log" >&2
    return 1
}

wine_stop() {
    "$wine_server" -k >/dev/null 2>&1 || true
    "$wine_server" -w >/dev/null 2>&1 || true
}
