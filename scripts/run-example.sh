#!/usr/bin/env bash
# Runs the default start script from the repository root: in the live window
# when a display is there, otherwise with the windowless program, saying
# where the pictures went and how to see the window.
# Usage: scripts/run-example.sh [build directory]
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
# default.sks writes its pictures into out/.
mkdir -p out
if [ -n "${DISPLAY:-}" ]; then
  echo "Starting the live window. Fly with the mouse and the arrow keys; Enter gives a command"
  echo "prompt here (end it with a line #eof); Esc quits, then press Enter here."
  exec "$build/skerrow" default.sks
fi
echo "No display found (DISPLAY is not set): running default.sks with skerrow-batch, without the window."
set +e
"$build/skerrow-batch" default.sks
status=$?
set -e
echo
echo "skerrow-batch ended with status $status (0: no errors, 3: errors reported, 1: fatal error)."
echo "The pictures the script rendered are in $(pwd)/out/:"
ls -1 out/*.ppm 2>/dev/null | sed 's/^/  /' || true
echo "To fly over the landscape in the live window, run on a desktop (or over ssh -X):"
echo "  $build/skerrow default.sks"
echo "Without a screen, xvfb-run -a $build/skerrow default.sks runs it in a virtual display."
exit $status
