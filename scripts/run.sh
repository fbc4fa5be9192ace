#!/usr/bin/env bash
# The main job: the plug-in module in the stand-in host exports the sample gearbox assembly.
# Sets up and builds what it needs, runs hostsim with its defaults (the built-in scene and
# session, a fresh working directory and registry), then summarizes the written exchange file.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" native >&2
cmake --preset native >/dev/null
cmake --build --preset native --target hostsim TarveloGateway tvlsummary >/dev/null

status=0
output=$("$root/build/native/host/hostsim") || status=$?
printf '%s\n' "$output"
if [ "$status" -ne 0 ]; then
    echo "run.sh: hostsim ended with status $status (hostsim --help lists the statuses)" >&2
    exit "$status"
fi

file=$(printf '%s\n' "$output" | sed -n 's/^exchange file: //p' | head -n 1)
if [ -z "$file" ]; then
    echo "run.sh: no exchange file was written" >&2
    exit 1
fi
echo "--- the exchange file"
"$root/build/native/tools/tvlsummary" "$file"
