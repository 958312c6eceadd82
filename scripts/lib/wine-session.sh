# Sourced by the scripts that run Morvane under Wine. Starts a private X
# screen (when asked), a Wine prefix of our own whose programs all open on a
# 1920 x 1080 virtual desktop in code page 936, and a persistent wineserver;
# wine_session_stop ends exactly what was started, by process id.
#
#   wine_session_start PREFIX_DIR [--private-screen]
#   wine64 … / wine32 …                # run programs
#   wine_session_stop

wine_session_xvfb_pid=""

wine_session_start() {
    local prefix=$1 screen=${2:-}
    export WINEPREFIX=$prefix WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
    if [ "$screen" = --private-screen ]; then
        # Xvfb picks a free display itself, so other sessions are never touched.
        local fifo n=""
        fifo=$(mktemp -u)
        mkfifo "$fifo"
        Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
        wine_session_xvfb_pid=$!
        read -r -t 20 n <"$fifo" || true
        rm -f "$fifo"
        if [ -z "$n" ]; then
            echo "Xvfb did not start" >&2
            return 1
        fi
        export DISPLAY=":$n"
        # A server left over from an interrupted run of this prefix would hold
        # an old display.
        /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    fi
    mkdir -p "$(dirname "$prefix")"
    if ! grep -q '^"Desktop"="Default"' "$prefix/user.reg" 2>/dev/null; then
        /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
        # Every program of this prefix opens on one virtual desktop, so that
        # the screen is 1920 x 1080 with Windows-like frames, and the
        # program's own exit code comes back from its wine command.
        /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null 2>&1
        /usr/lib/wine/wineserver -w  # the server saves the registry as it ends
    fi
    # A persistent server makes later starts fast; its output must not go to a pipe.
    /usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null
}

wine64() { /usr/lib/wine/wine64 "$@"; }
# 32-bit programs: /usr/bin/wine picks the 32-bit loader (through qemu-i386 on
# kernels without 32-bit support).
wine32() { /usr/bin/wine "$@"; }

wine_session_stop() {
    [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver -k >/dev/null 2>&1
    if [ -n "$wine_session_xvfb_pid" ]; then
        kill "$wine_session_xvfb_pid" 2>/dev/null
        wait "$wine_session_xvfb_pid" 2>/dev/null
        wine_session_xvfb_pid=""
    fi
    return 0
}
