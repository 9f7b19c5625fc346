#!/usr/bin/env bash
# End to end: the real program under Xvfb, with a scratch data root, loads the file named on its
# command line once the window shows: the caption names the file and the data folders exist.
#   command_line_file.sh <quillon binary> <file.hl7> [screenshot.png]
set -euo pipefail
# The program must draw a real window for the X server, whatever the test run asked of Qt.
unset QT_QPA_PLATFORM
bin=$1 file=$(readlink -f "$2") shot=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export QUILLON_HOME="$scratch" QUILLON_E2E_BIN="$bin" QUILLON_E2E_FILE="$file" QUILLON_E2E_SHOT="$shot"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  "$QUILLON_E2E_BIN" "$QUILLON_E2E_FILE" >/dev/null 2>&1 &
  pid=$!
  found=""
  for _ in $(seq 1 300); do
    found=$(xdotool search --name "^Quillon - ${QUILLON_E2E_FILE}\$" 2>/dev/null | head -n1 || true)
    [ -n "$found" ] && break
    sleep 0.1
  done
  if [ -n "$found" ] && [ -n "$QUILLON_E2E_SHOT" ]; then
    sleep 0.5
    import -window "$found" "$QUILLON_E2E_SHOT"
  fi
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  [ -n "$found" ] || { echo "no window captioned Quillon - $QUILLON_E2E_FILE"; exit 1; }
'
for sub in Logs Views Servers Clients Temp Files2Load Data FTP Documentation Reports; do
  [ -d "$scratch/Marrowby/quillon/$sub" ] || { echo "missing data folder $sub"; exit 1; }
done
echo "1 passed, 0 failed"
