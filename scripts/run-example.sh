#!/usr/bin/env bash
# Runs the default start script: in the live window when a display is there,
# otherwise with the windowless program, saying where the pictures went.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
if [ -n "${DISPLAY:-}" ]; then
  exec "$build/skerrow" default.sks
fi
echo "No display found (DISPLAY is not set): running default.sks without the window."
set +e
"$build/skerrow-batch" default.sks
status=$?
set -e
echo
echo "The pictures the script rendered are in: $(pwd)/out/"
echo "To fly over the landscape in the live window, run on a desktop:  $build/skerrow default.sks"
echo "or under a virtual display:  xvfb-run -a $build/skerrow default.sks"
exit $status
