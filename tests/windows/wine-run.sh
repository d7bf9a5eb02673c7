#!/usr/bin/env bash
# Runs a Windows program under Wine inside the test session of a build tree (see wine-session.sh):
# its prefix, its virtual display and its persistent wineserver. The program's exit code is ours.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
wine_env_for "${VELTRANO_BUILD_DIR:-$PWD}"
exec "$WINE" "$@"
