#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those that are missing.
# Usage: scripts/setup.sh native|sanitize|windows
set -euo pipefail

kind=${1:-native}
# OpenCASCADE for model files in scenes (native builds; its sample models come with occt-misc;
# its CMake targets name the TBB development libraries).
occt=(libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev
    libocct-data-exchange-dev libocct-ocaf-dev occt-misc libtbb-dev)
packages=(g++ make cmake libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev)
case "$kind" in
native) packages+=(libbenchmark-dev libmeshoptimizer-dev "${occt[@]}") ;;
sanitize) packages+=("${occt[@]}") ;;
windows) packages+=(g++-mingw-w64-x86-64-posix wine64 googletest) ;;
*)
    echo "setup.sh: unknown build '$kind' (native, sanitize or windows)" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi
