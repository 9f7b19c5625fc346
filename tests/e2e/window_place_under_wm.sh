#!/usr/bin/env bash
# End to end under a real window manager (openbox on Xvfb): the main window starts three times
# (a first start and two restarts) from a stored place, then three times from an empty settings
# store, and is closed with Alt+F4 each time. After each restart the window must stand where it
# stood at the first start, at the same size (the frame the manager adds must not creep into the
# stored size or place); from the stored place the first start honours that place itself. Each
# close must end the process within a second. At the first restart the manager is held for eight
# seconds as the program starts, as on a busy machine: it frames the window late.
#   window_place_under_wm.sh <quillon binary>
set -uo pipefail
unset QT_QPA_PLATFORM
bin=$1
for tool in Xvfb openbox xdotool xwininfo xprop xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
scratch=$(mktemp -d)
xpid="" wmpid="" qpid=""
cleanup() {
  [ -n "$wmpid" ] && kill -CONT "$wmpid" 2>/dev/null
  for p in $qpid $wmpid $xpid; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# A display number nobody holds.
display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free display number"; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
export DISPLAY=$display
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start on $display"; exit 1; }
openbox >/dev/null 2>&1 &
wmpid=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' \
  || { echo "openbox did not start"; exit 1; }

# Prints the frame's "left top width height" of window $1 once it has held still a moment: the
# inside's place and size from xwininfo widened by the frame extents the manager announces.
frame_of() {
  local last="" now="" extents
  for _ in $(seq 1 40); do
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ,)
    now=$(xwininfo -id "$1" 2>/dev/null | awk -v e="${extents:-0 0 0 0}" '
      BEGIN {split(e, f, " ")}
      /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
      /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF}
      END {print x - f[1], y - f[3], w + f[1] + f[2], h + f[3] + f[4]}')
    [ -n "$last" ] && [ "$now" = "$last" ] && break
    last=$now
    sleep 0.1
  done
  echo "$now"
}

failures=0
# Starts and closes the program three times over the settings in $QUILLON_HOME; the frame of
# the first start is left in $first.
three_starts() {
  local name=$1 cycle win place took start x0 y0 w0 h0 x y w h d
  first=""
  for cycle in 1 2 3; do
    [ "$cycle" -eq 2 ] && kill -STOP "$wmpid"
    "$bin" >/dev/null 2>&1 &
    qpid=$!
    if [ "$cycle" -eq 2 ]; then sleep 8; kill -CONT "$wmpid"; fi
    win=""
    for _ in $(seq 1 100); do
      win=$(xdotool search --onlyvisible --pid "$qpid" --name '^Quillon' 2>/dev/null | head -n1)
      [ -n "$win" ] && break
      sleep 0.1
    done
    [ -n "$win" ] || { echo "$name, start $cycle: no window"; exit 1; }
    sleep 0.5
    place=$(frame_of "$win")
    echo "$name, start $cycle: frame at $place"
    [ -n "$first" ] || first=$place
    read -r x0 y0 w0 h0 <<<"$first"
    read -r x y w h <<<"$place"
    for d in $((x - x0)) $((y - y0)) $((w - w0)) $((h - h0)); do
      if [ "${d#-}" -gt 1 ]; then
        echo "$name, start $cycle: moved or resized from $first to $place"
        failures=$((failures + 1)); break
      fi
    done

    xdotool windowactivate --sync "$win" 2>/dev/null
    start=$(date +%s%N)
    xdotool key --clearmodifiers alt+F4
    for _ in $(seq 1 250); do kill -0 "$qpid" 2>/dev/null || break; sleep 0.02; done
    took=$((($(date +%s%N) - start) / 1000000))
    if kill -0 "$qpid" 2>/dev/null; then
      echo "$name, start $cycle: still running 5 s after Alt+F4"; exit 1
    fi
    wait "$qpid" 2>/dev/null
    qpid=""
    echo "$name, start $cycle: ended $took ms after Alt+F4"
    if [ "$took" -gt 1000 ]; then
      echo "$name, start $cycle: exit took over 1 s"; failures=$((failures + 1))
    fi
  done
}

# The stored place: frame at 200,100 and 900 x 700 pixels outside, in twips (15 a pixel).
export QUILLON_HOME=$scratch/stored
mkdir -p "$QUILLON_HOME"
printf '[Quillon\\Windowpos]\nfrmMain=3000,1500,13500,10500,0\n' >"$QUILLON_HOME/Quillon.settings"
three_starts "stored place"
# The first start honours the stored place itself.
if [ "$first" != "200 100 900 700" ]; then
  echo "stored place, first start: frame at $first, stored 200 100 900 700"
  failures=$((failures + 1))
fi

# No settings at all: the window stands where the manager put it, and comes back there.
export QUILLON_HOME=$scratch/empty
mkdir -p "$QUILLON_HOME"
three_starts "empty settings"

[ "$failures" -eq 0 ] || { echo "0 passed, $failures failed"; exit 1; }
echo "1 passed, 0 failed"
