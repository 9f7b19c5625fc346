#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root loads the shipped sample,
# selects records 1 and 2 and opens Tools > Compare Two Records (the table's copy must reach the
# clipboard as rich text only, holding both control IDs), counts the unique values of PID-8 in
# Tools > Determine All Unique Field Values and copies them, and opens Tools > View Record as
# ASCII. Each window is photographed.
#   analysis_windows.sh <quillon binary> <sample.hl7> [screenshot folder]
set -euo pipefail
unset QT_QPA_PLATFORM
bin=$(readlink -f "$1") sample=$(readlink -f "$2") shots=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -n "$shots" ] || shots="$scratch/shots"
mkdir -p "$shots"
export QUILLON_HOME="$scratch/home" QUILLON_E2E_BIN="$bin" QUILLON_E2E_FILE="$sample"
export QUILLON_E2E_LIB="$(dirname "$(readlink -f "$0")")/start_program.sh"
export QUILLON_E2E_SHOTS=$(readlink -f "$shots") QUILLON_E2E_OUT="$scratch/out"
mkdir -p "$QUILLON_HOME" "$QUILLON_E2E_OUT"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  fail() { echo "$*"; cat "$QUILLON_HOME/stderr.txt"; kill $pid 2>/dev/null; exit 1; }
  tools_item() {  # opens the Tools menu and chooses its item n (from 1)
    xdotool windowfocus --sync $win
    xdotool key alt+t; sleep 0.4
    for _ in $(seq 2 "$1"); do xdotool key Down; done
    xdotool key Return
  }
  . "$QUILLON_E2E_LIB"
  pid=""
  start_program "$QUILLON_E2E_FILE" "^Quillon - ${QUILLON_E2E_FILE}\$"
  [ -n "$win" ] || fail "no window captioned Quillon - $QUILLON_E2E_FILE"
  sleep 0.5
  xdotool windowfocus --sync $win
  eval "$(xdotool getwindowgeometry --shell "$win")"

  # Records 1 and 2 of the record list, then Tools > Compare Two Records.
  xdotool mousemove $((X + 100)) $((Y + 283)) click 1; sleep 0.3
  xdotool keydown ctrl; xdotool mousemove $((X + 100)) $((Y + 300)) click 1; xdotool keyup ctrl
  sleep 0.3
  tools_item 8
  cmp=$(wait_window "^Compare Records/Segments\$")
  [ -n "$cmp" ] || fail "the comparison window did not show"
  sleep 0.8
  import -window "$cmp" "$QUILLON_E2E_SHOTS/compare-records.png"
  eval "$(xdotool getwindowgeometry --shell "$cmp")"
  # Copy to Clipboard is the second button at the right.
  xdotool mousemove $((X + WIDTH - 80)) $((Y + 119)) click 1; sleep 0.5
  xclip -o -selection clipboard -t TARGETS > "$QUILLON_E2E_OUT/targets.txt" || true
  xclip -o -selection clipboard -t text/rtf > "$QUILLON_E2E_OUT/compare.rtf" || true
  xdotool key Escape; sleep 0.5

  # Tools > Determine All Unique Field Values on PID-8.
  tools_item 4
  uv=$(wait_window "^Determine All Unique Field Values\$")
  [ -n "$uv" ] || fail "the unique-values window did not show"
  sleep 0.5
  xdotool key ctrl+a; xdotool type --delay 20 PID; xdotool key Tab; sleep 0.3
  xdotool key ctrl+a; xdotool type --delay 20 PID-8; xdotool key Return; sleep 1.5
  import -window "$uv" "$QUILLON_E2E_SHOTS/unique-values.png"
  eval "$(xdotool getwindowgeometry --shell "$uv")"
  # Copy to Clipboard is the third button at the top right.
  xdotool mousemove $((X + WIDTH - 70)) $((Y + 76)) click 1; sleep 0.5
  xclip -o -selection clipboard > "$QUILLON_E2E_OUT/unique.txt" || true
  xdotool key Escape; sleep 0.5

  # Tools > View Record as ASCII on the current record; a click on a code pair marks it.
  tools_item 1
  av=$(wait_window "^View Record as ASCII\$")
  [ -n "$av" ] || fail "the character-code view did not show"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$av")"
  xdotool mousemove $((X + 300)) $((Y + 44)) click 1; sleep 0.4
  import -window "$av" "$QUILLON_E2E_SHOTS/character-codes.png"
  xdotool key Escape; sleep 0.5

  # File > Exit.
  xdotool windowfocus --sync $win
  xdotool key alt+f; sleep 0.4; xdotool key x
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then fail "still running after File > Exit"; fi
'
out="$scratch/out"
grep -qx 'text/rtf' "$out/targets.txt" \
  || { echo "no rich text on the clipboard; targets:"; cat "$out/targets.txt"; exit 1; }
if grep -Eqx 'UTF8_STRING|text/plain.*|STRING|TEXT' "$out/targets.txt"; then
  echo "plain text beside the rich text; targets:"; cat "$out/targets.txt"; exit 1
fi
grep -q 'trowd' "$out/compare.rtf" && grep -q 'MSG10000' "$out/compare.rtf" \
  && grep -q 'MSG10001' "$out/compare.rtf" \
  || { echo "the copied comparison is not the table of records 1 and 2:"; head -c 600 "$out/compare.rtf"; exit 1; }
unique=$(tr -d '\r' < "$out/unique.txt")
echo "$unique" | grep -q '"F"$' && echo "$unique" | grep -q '"M"$' \
  || { echo "the unique values of PID-8 are not F and M:"; echo "$unique"; exit 1; }
for s in compare-records unique-values character-codes; do
  [ -s "$shots/$s.png" ] || { echo "missing screenshot $s"; exit 1; }
done
echo "1 passed, 0 failed"
