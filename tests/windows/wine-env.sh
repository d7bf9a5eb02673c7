# Settings shared by the scripts that run Wine for a build tree. Source it, then call
# wine_env_for BUILD_DIR.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_env_for() {
    local build=$1
    export WINEPREFIX="$build/wineprefix"
    export WINEARCH=win64
    export WINEDEBUG=${WINEDEBUG:--all}
    # No Mono or Gecko installers: the program needs neither.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    VELTRANO_SESSION_DIR="$build/wine-session"
    if [ -f "$VELTRANO_SESSION_DIR/display" ]; then
        DISPLAY=$(cat "$VELTRANO_SESSION_DIR/display")
        export DISPLAY
    fi
}
