#!/usr/bin/env bash
# The live window in a real (virtual) X server: the start-up lines, the
# picture the window shows, mouse steering with its crosshair, the console
# prompt opened with Enter, the movement and new-world keys, and Esc.
#
# Usage: window_test.sh <skerrow executable> <close_window helper>
# Exit status 77 (skipped) only when no X server can be started at all.
set -uo pipefail

SKIP=77
SCREEN='-screen 0 640x480x24'
LIMIT=120  # seconds any single wait may take (sanitizer builds are slow)

skerrow=$(realpath "$1")
close_window=$(realpath "$2")

if [ -z "${SKERROW_UNDER_XVFB:-}" ]; then
  if ! command -v xvfb-run >/dev/null; then
    echo "SKIP: xvfb-run is not installed, so no X server can start (scripts/install-deps.sh installs it)"
    exit $SKIP
  fi
  if ! xvfb-run -a -s "$SCREEN" true >/dev/null 2>&1; then
    echo "SKIP: the virtual X server (Xvfb) does not start on this machine"
    exit $SKIP
  fi
  export SKERROW_UNDER_XVFB=1
  exec xvfb-run -a -s "$SCREEN" bash "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/skerrow-window.XXXXXX")
cd "$work"
pid=
wid=

fail() {
  echo "FAIL: $*"
  if [ -f out.txt ]; then
    echo "--- last console lines (${work}/out.txt):"
    grep -v '^redrawing\.\.\.$' out.txt | tail -n 25
  fi
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  exit 1
}

for tool in xdotool import convert compare; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

count() { grep -c -F -x -- "$1" out.txt 2>/dev/null || true; }
count_prefix() { grep -c -F -- "$1" out.txt 2>/dev/null || true; }
frames() { count "redrawing..."; }

# Waits until the console shows line $1 (whole line) at least $2 times.
wait_line() {
  local deadline=$((SECONDS + LIMIT))
  until [ "$(count "$1")" -ge "$2" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for \"$1\""
    [ $SECONDS -lt $deadline ] || fail "no \"$1\" (x$2) within ${LIMIT}s"
    sleep 0.1
  done
}

wait_frames() { wait_line "redrawing..." "$1"; }

shot() { import -window "$wid" "$1" 2>/dev/null || fail "screenshot of the window failed"; }
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
pixel() { convert "$1" -format "%[hex:u.p{$2,$3}]" info:; }
key() {
  xdotool mousemove --window "$wid" 250 250 2>/dev/null
  xdotool key "$1" 2>/dev/null
}

# Takes screenshots until one differs from $1 (the picture changed).
wait_change() {
  local deadline=$((SECONDS + LIMIT))
  while :; do
    shot now.png
    [ "$(differing "$1" now.png)" != 0 ] && return 0
    [ $SECONDS -lt $deadline ] || fail "$2: the picture did not change within ${LIMIT}s"
    sleep 0.2
  done
}

# A picture taken after two whole frames since the call.
settled_shot() {
  local n
  n=$(frames)
  wait_frames $((n + 2))
  shot "$1"
}

start() {
  rm -f in.fifo out.txt
  mkfifo in.fifo
  # The test holds the program's standard input open and writes to it.
  exec 3<>in.fifo
  "$skerrow" "$@" <&3 >out.txt 2>&1 &
  pid=$!
  wait_line "entering glut main loop" 1
  wid=$(timeout $LIMIT xdotool search --sync --name '^Skerrow$' 2>/dev/null | head -n 1)
  [ -n "$wid" ] || fail "no window named Skerrow"
}

# Esc (or closing the window): the exit banner, then the program waits for
# one line of input and ends with status 0.
quit_with_esc() {
  local banner deadline
  banner=$(sed -n 7p out.txt)
  if [ "${1:-}" = close ]; then
    "$close_window" "$wid" || fail "could not ask the window to close"
  else
    key Escape
  fi
  wait_line "$banner" 2
  kill -0 "$pid" 2>/dev/null || fail "after Esc the program must wait for Enter on the console"
  echo >&3
  deadline=$((SECONDS + LIMIT))
  while kill -0 "$pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || fail "no exit within ${LIMIT}s after Enter"
    sleep 0.1
  done
  wait "$pid"
  local status=$?
  pid=
  exec 3>&-
  [ $status -eq 0 ] || fail "exit status after Esc is $status, not 0"
}

# --- 1. A missing start script: the start-up lines, no statistics, the
# window opens all the same.
start nothere.sks
expected=$(printf '%s\n' "sk.init called" "memory freed" "fillbyte" "sk.init done")
head -n 4 out.txt | diff -q - <(echo "$expected") >/dev/null || fail "engine trace lines at start"
[ "$(sed -n 5p out.txt)" = "" ] || fail "the banner starts with an empty line"
sed -n 8,11p out.txt | diff -q - <(echo "$expected") >/dev/null || fail "engine trace lines a second time"
sed -n 12,14p out.txt | diff -q - <(printf '%s\n' '"nothere.sks" is not found!' \
  "initializing events" "entering glut main loop") >/dev/null || fail "not-found line and window lines"
[ "$(count Statistics:)" -eq 0 ] || fail "no statistics block when no script ran"
wait_frames 1
quit_with_esc
echo "ok: missing script, window, Esc"

# --- 2. A scene: the window shows exactly the picture the engine renders.
cat >scene.sks <<'EOF'
// Clouds stand still, so frames without input are identical.
FOGDT 0;
RENDERPORT 500, 500;
RENDER 'ref.ppm';
EOF
start scene.sks
[ -f ref.ppm ] || fail "the start script did not write ref.ppm"
# The screen is 480 rows high: compare the rows the screenshot holds.
convert ref.ppm -crop 500x480+0+0 +repage ref.png
deadline=$((SECONDS + LIMIT))
while :; do
  shot first.png
  [ "$(differing ref.png first.png)" = 0 ] && break
  [ $SECONDS -lt $deadline ] || fail "the window never showed the rendered picture ($(differing ref.png first.png) pixels differ)"
  sleep 0.2
done
# Sky is smooth from pixel to pixel, textured ground is not: the mean
# difference between horizontal neighbours, in grey levels.
roughness() {
  convert first.png -crop "$1" +repage -colorspace Gray \( +clone -roll +1+0 \) \
    -compose difference -composite -format '%[fx:int(mean*2550)]' info:
}
sky=$(roughness 500x100+0+0)          # tenths of a grey level
ground=$(roughness 500x100+0+380)
bright=$(convert first.png -colorspace Gray -format '%[fx:int(mean*255)]' info:)
spread=$(convert first.png -colorspace Gray -format '%[fx:int(standard_deviation*255)]' info:)
[ "$bright" -lt 240 ] || fail "a white window (mean grey $bright)"
[ "$spread" -gt 10 ] || fail "a blank window (spread $spread)"
[ "$sky" -lt 30 ] || fail "no smooth sky in the upper rows (roughness $sky)"
[ "$ground" -gt $((sky + 20)) ] || fail "no textured ground in the lower rows (roughness $ground, sky $sky)"
echo "ok: the window shows the landscape (roughness: sky $sky, ground $ground)"

# --- 3. Left button held at the centre: steering with (0, 0) and the
# crosshair around the centre; releasing the button removes it.
xdotool mousemove --window "$wid" 250 250 2>/dev/null
xdotool mousedown 1 2>/dev/null
deadline=$((SECONDS + LIMIT))
until shot held.png && [ "$(pixel held.png 250 249)" = FFFFFF ]; do
  [ $SECONDS -lt $deadline ] || { xdotool mouseup 1; fail "no crosshair while the button is held"; }
  sleep 0.2
done
settled_shot held.png
xdotool mouseup 1 2>/dev/null
for xy in "250 249" "249 250" "251 250" "250 251"; do
  [ "$(pixel held.png $xy)" = FFFFFF ] || fail "crosshair pixel $xy is $(pixel held.png $xy)"
done
settled_shot released.png
[ "$(pixel released.png 250 249)" != FFFFFF ] || fail "the crosshair stays after the button is released"
echo "ok: mouse steering and crosshair"

# --- 4. Enter: the console prompt runs statements until "#eof", then the
# statistics block, and frames follow again.
key Return
wait_line 'Enter "#eof" to close input' 1
printf "WRITEPARAMS 'params.sks';\nFOGCOLOR 1, 0, 0;\nRENDER 'console.ppm';\n#eof\n" >&3
wait_line "Statistics:" 2
[ "$(grep -A1 -x -F Statistics: out.txt | tail -n 1)" = "no errors,no warnings" ] ||
  fail "the console run reported errors"
[ -f params.sks ] || fail "WRITEPARAMS at the prompt wrote no file"
grep -q -E '^camera  0\.000000000E\+00, 0\.000000000E\+00, [^,]+, 0\.000000000E\+00,' params.sks ||
  fail "steering at the centre moved or turned the camera: $(grep camera params.sks)"
[ "$(head -c 15 console.ppm)" = "P6 500 500 255" ] || fail "RENDER at the prompt: $(head -c 15 console.ppm)"
n=$(frames)
wait_frames $((n + 2))
echo "ok: console prompt, rendering resumes"

# --- 5. Keys: Up and Left move the camera; "r" makes a new world.
settled_shot before.png
key Up
wait_change before.png "Up"
settled_shot before.png
key Left
wait_change before.png "Left"
settled_shot before.png
key r
deadline=$((SECONDS + LIMIT))
until [ "$(count_prefix "sk.setseed ")" -ge 1 ]; do
  [ $SECONDS -lt $deadline ] || fail "\"r\" printed no sk.setseed line"
  sleep 0.1
done
wait_change before.png "r"
echo "ok: keys Up, Left, r"

# --- 6. A new window size: a white screen and a black picture of the new
# size, then frames that fill the whole window from its top-left corner,
# exactly as the engine renders the scene at that size.
xdotool windowsize "$wid" 640 480 2>/dev/null
wait_line "sk.renderport w=640 h=480 called" 1
key Return
wait_line 'Enter "#eof" to close input' 2
printf "RENDER 'resized.ppm';\n#eof\n" >&3
wait_line "Statistics:" 3
[ "$(head -c 15 resized.ppm)" = "P6 640 480 255" ] || fail "RENDER after the resize: $(head -c 15 resized.ppm)"
convert resized.ppm resized.png
deadline=$((SECONDS + LIMIT))
while :; do
  shot now.png
  [ "$(differing resized.png now.png)" = 0 ] && break
  [ $SECONDS -lt $deadline ] || fail "the resized window does not show the picture ($(differing resized.png now.png) pixels differ)"
  sleep 0.2
done
echo "ok: resized to 640 x 480"

quit_with_esc
echo "ok: Esc in the scene"

# --- 7. Closing the window ends the program like Esc.
start nothere.sks
wait_frames 1
quit_with_esc close
echo "ok: closing the window"
rm -rf "$work"
