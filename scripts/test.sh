#!/usr/bin/env bash
# Sets up, builds and runs every test of one build: native (default), sanitize or windows.
set -euo pipefail

kind=${1:-native}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" "$kind"
# TARVELO_WARNINGS_AS_ERRORS=ON in the environment makes any compiler warning an error (CI).
cmake --preset "$kind" -DTARVELO_WARNINGS_AS_ERRORS="${TARVELO_WARNINGS_AS_ERRORS:-OFF}" >/dev/null
cmake --build --preset "$kind"

if [ "$kind" = windows ]; then
    # One Wine prefix for the build; a persistent wineserver makes each program start cheap.
    export WINEPREFIX="$root/build/windows/wineprefix"
    export WINEDEBUG=-all
    wineserver=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)
    stop_wine() { "$wineserver" -k 2>/dev/null || true; }
    trap stop_wine EXIT
    mkdir -p "$WINEPREFIX"
    "$wineserver" -p </dev/null >/dev/null 2>&1
    # Create the prefix and start Wine's services now, detached from every output: a service
    # that inherited a test's output pipe would keep CTest waiting for it to close.
    "$root/cmake/wine-run.sh" wineboot -i </dev/null >/dev/null 2>&1 || true
fi

ctest --preset "$kind"
