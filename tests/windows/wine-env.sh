# The Wine environment of a build tree, shared by the Windows tests (wine-session.sh, wine-run.sh)
# and scripts/run.sh. Source it, then call one of:
#   wine_env PREFIX            Wine's settings for a prefix
#   wine_env_for BUILD_DIR     the tests' prefix and the display of their session, if it runs
# and use the helpers below for the prefix, the virtual display and the wineserver's end.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_env() {
    export WINEPREFIX=$1
    export WINEARCH=win64
    export WINEDEBUG=${WINEDEBUG:--all}
    # No Mono or Gecko installers: the program needs neither. No menu builder: it would turn the
    # installer's Start menu shortcuts into menu entries of the Linux desktop.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

wine_env_for() {
    local build=$1
    wine_env "$build/wineprefix"
    VELTRANO_SESSION_DIR="$build/wine-session"
    if [ -f "$VELTRANO_SESSION_DIR/display" ]; then
        DISPLAY=$(cat "$VELTRANO_SESSION_DIR/display")
        export DISPLAY
    fi
}

# Waits at most SECONDS for the wineserver of the prefix to end, that is for its last program to
# end; past that, ends the prefix's programs by force and fails with a message.
wine_wait_server() { # SECONDS
    if timeout "$1" "$WINESERVER" -w; then
        return 0
    fi
    echo "error: Wine's programs in $WINEPREFIX did not end within $1 s; they were stopped" >&2
    "$WINESERVER" -k >/dev/null 2>&1 || true
    return 1
}

# Creates the prefix when it is not there yet; wineboot's output goes to LOG_FILE.
wine_prepare_prefix() { # LOG_FILE
    if [ -f "$WINEPREFIX/system.reg" ]; then
        return 0
    fi
    mkdir -p "$(dirname "$1")"
    if ! timeout 300 "$WINE" wineboot -i >"$1" 2>&1 </dev/null; then
        echo "error: creating the Wine prefix $WINEPREFIX failed or took over 300 s; see $1" >&2
        "$WINESERVER" -k >/dev/null 2>&1 || true
        return 1
    fi
    wine_wait_server 120
}

# Lets a window manager place Wine's windows (yes), or has Wine draw their frames itself (no): on
# a display without a window manager Wine would wait two seconds for one whenever a managed window
# is hidden or destroyed.
wine_managed_windows() { # yes|no
    local key='HKCU\Software\Wine\X11 Driver'
    if [ "$1" = yes ]; then
        "$WINE" reg delete "$key" /v Managed /f >/dev/null 2>&1 </dev/null || true
    else
        "$WINE" reg add "$key" /v Managed /d N /f >/dev/null 2>&1 </dev/null
    fi
}

# Starts a virtual X display of the given geometry (such as 1280x1024x24) and waits until it takes
# connections. Xvfb picks a free display number itself and reports it (-displayfd), so runs
# started at the same time never race for one. Keeps its log and process ID in DIR, sets and
# exports DISPLAY.
wine_start_display() { # GEOMETRY DIR
    local geometry=$1 dir=$2 number="" pid=""
    mkdir -p "$dir"
    rm -f "$dir/xvfb.pid"
    : >"$dir/xvfb.number"
    # The shell writes its own process ID and becomes Xvfb: the ID is the server's whether setsid
    # had to fork or not.
    setsid sh -c 'echo $$ >"$1/xvfb.pid" && exec Xvfb -displayfd 3 -screen 0 "$2" -nolisten tcp' \
        sh "$dir" "$geometry" 3>"$dir/xvfb.number" >"$dir/xvfb.log" 2>&1 </dev/null &
    for _ in $(seq 1 200); do
        # A whole line: the server has its number and takes connections.
        if read -r number <"$dir/xvfb.number"; then
            export DISPLAY=":$number"
            return 0
        fi
        pid=$(cat "$dir/xvfb.pid" 2>/dev/null || true)
        if [ -n "$pid" ] && ! wine_process_runs "$pid"; then
            break
        fi
        sleep 0.05
    done
    echo "error: the virtual X display did not start within 10 s; Xvfb said:" >&2
    sed 's/^/    /' "$dir/xvfb.log" >&2
    wine_stop_display "$dir"
    return 1
}

# Ends the virtual display started with DIR, if it still runs.
wine_stop_display() { # DIR
    local dir=$1 pid
    pid=$(cat "$dir/xvfb.pid" 2>/dev/null || true)
    rm -f "$dir/xvfb.pid" "$dir/xvfb.number"
    # Only the server this file names: a stale file's process ID may belong to another program now.
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 40); do
            wine_process_runs "$pid" || return 0
            sleep 0.05
        done
        kill -9 "$pid" 2>/dev/null || true
    fi
    return 0
}

# Whether a process runs: an ended one that its parent has not collected yet does not.
wine_process_runs() { # PID
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) && [ "${state#Z}" = "$state" ]
}
