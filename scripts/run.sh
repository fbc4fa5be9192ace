#!/usr/bin/env bash
# The main job: an export in the stand-in host on a sample model.
set -euo pipefail
echo "run.sh: the plug-in and the stand-in host are not built yet; nothing to export." >&2
exit 1
