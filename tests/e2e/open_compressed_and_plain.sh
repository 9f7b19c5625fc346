#!/usr/bin/env bash
# End to end: the real program under Xvfb opens, in one File > Open dialog, a .gz, a .Z, a .zip
# holding two files in a folder, and two plain files. The records loaded are the files'
# messages joined in name order, and the user's files are unchanged byte for byte.
#   open_compressed_and_plain.sh <quillon binary>
set -euo pipefail
unset QT_QPA_PLATFORM
bin=$(readlink -f "$1")
export QUILLON_E2E_LIB="$(dirname "$(readlink -f "$0")")/start_program.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
user="$scratch/user"
mkdir -p "$user/z"
cd "$user"
printf 'MSH|^~\\&|A|1\rPID|1\r' > a.hl7 && gzip a.hl7
printf 'MSH|^~\\&|B|2\rPID|2\r' > b.hl7 && compress -f b.hl7
printf 'MSH|^~\\&|C|3\r' > z/c1.hl7
printf 'MSH|^~\\&|C|4\r' > z/c2.hl7
zip -qr c.zip z && rm -rf z
printf 'MSH|^~\\&|D|5\r' > d.hl7
printf 'MSH|^~\\&|E|6\r' > E.hl7
before=$(sha256sum * | sort)
cd "$scratch"
export QUILLON_HOME="$scratch/home" QUILLON_E2E_BIN="$bin" QUILLON_E2E_USER="$user"
mkdir -p "$QUILLON_HOME"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  . "$QUILLON_E2E_LIB"
  pid=""
  trap "kill \$pid 2>/dev/null" EXIT
  wait_for() {  # window name pattern
    for _ in $(seq 1 300); do
      found=$(xdotool search --name "$1" 2>/dev/null | head -n1) || true
      [ -n "$found" ] && { echo "$found"; return 0; }
      sleep 0.1
    done
    return 1
  }
  start_program "" "^Quillon\$" || { echo "no main window"; exit 1; }
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 15)) $((Y + 8)) click 1
  sleep 0.5
  xdotool key Down Down Return  # File > Open...
  dlg=$(wait_for "^File Open\$") || { echo "no File Open dialog"; exit 1; }
  eval "$(xdotool getwindowgeometry --shell "$dlg")"
  xdotool mousemove $((X + 100)) $((Y + 100))
  xdotool type --delay 5 "$QUILLON_E2E_USER/"
  xdotool key Return
  sleep 0.5
  xdotool type --delay 5 "\"a.hl7.gz\" \"b.hl7.Z\" \"c.zip\" \"d.hl7\" \"E.hl7\""
  xdotool key Return
  wait_for "^Quillon - .*/Files2Load/MultipleFiles.dat\$" >/dev/null \
    || { echo "the joined file was not loaded"; exit 1; }
  win=$(wait_for "^Quillon - ")
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 15)) $((Y + 8)) click 1
  sleep 0.5
  xdotool key Up Return  # File > Exit, the last item
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.1; done
  echo "still running after File > Exit"; exit 1
'
joined="$QUILLON_HOME/Marrowby/quillon/Files2Load/MultipleFiles.dat"
expected=$(printf 'MSH|^~\\&|E|6\rMSH|^~\\&|A|1\rPID|1\rMSH|^~\\&|B|2\rPID|2\rMSH|^~\\&|C|3\rMSH|^~\\&|C|4\rMSH|^~\\&|D|5\r' | sha256sum)
[ "$(sha256sum < "$joined")" = "$expected" ] || { echo "loaded bytes differ:"; od -c "$joined" | head; exit 1; }
after=$(cd "$user" && sha256sum * | sort)
[ "$before" = "$after" ] || { echo "the user's files changed"; echo "$before"; echo "$after"; exit 1; }
grep -q "MultipleFiles.dat" "$QUILLON_HOME/Quillon.settings" || { echo "no recent-files entry"; exit 1; }
echo "1 passed, 0 failed"
