#!/bin/sh
# Runs a Windows program under Wine with the build folder's own prefix and no debug output.
# WINEPREFIX may be set by the caller; otherwise the prefix lives in the current build folder,
# found by walking up to the folder that holds CMakeCache.txt.
if [ -z "${WINEPREFIX:-}" ]; then
    dir=$(pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do
        dir=$(dirname "$dir")
    done
    [ "$dir" = "/" ] && dir=$(pwd)
    WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if command -v wine64 >/dev/null 2>&1; then
    exec wine64 "$@"
fi
exec /usr/lib/wine/wine64 "$@"
