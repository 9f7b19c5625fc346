#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root loads ten records, filters
# them from the Edit menu (keeping the five that hold a text), checks the caption and the records
# left, undoes the filter, pastes two records put on the clipboard with xclip, and edits one field
# of the pasted record through the real input box. The records are read back through the record
# list's own copy (Ctrl+C) after selecting the page's rows with Shift+End.
#   filter_paste_edit.sh <quillon binary> [screenshot folder]
set -euo pipefail
unset QT_QPA_PLATFORM
bin=$(readlink -f "$1") shots=${2:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -n "$shots" ] || shots="$scratch/shots"
mkdir -p "$shots"
file="$scratch/ten.hl7"
/usr/bin/python3 - "$file" "$scratch/paste.txt" <<'PY'
import sys
with open(sys.argv[1], "wb") as f:
    for i in range(1, 11):
        family = b"KEEPME" if i % 2 else b"DOE"
        f.write(b"MSH|^~\\&|SEND|FAC|RECV|FAC|20260101||ADT^A01|%d|P|2.3\rPID|1||ID%d||%s^JOHN\r" % (i, i, family))
# Two records as the copy commands write them: segments ended by CR, each record by CR LF.
with open(sys.argv[2], "wb") as f:
    for i in (71, 72):
        f.write(b"MSH|^~\\&|PASTED|FAC|RECV|FAC|20260101||ADT^A01|%d|P|2.3\rPID|1||P%d||PASTE^ME\r\r\n" % (i, i))
PY
export QUILLON_HOME="$scratch/home" QUILLON_E2E_BIN="$bin" QUILLON_E2E_FILE="$file"
export QUILLON_E2E_LIB="$(dirname "$(readlink -f "$0")")/start_program.sh"
export QUILLON_E2E_SHOTS=$(readlink -f "$shots") QUILLON_E2E_OUT="$scratch/out"
export QUILLON_E2E_PASTE="$scratch/paste.txt"
mkdir -p "$QUILLON_HOME" "$QUILLON_E2E_OUT"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  out=$QUILLON_E2E_OUT
  fail() { echo "$*"; cat "$QUILLON_HOME/stderr.txt"; kill $pid 2>/dev/null; exit 1; }
  . "$QUILLON_E2E_LIB"
  pid=""
  start_program "$QUILLON_E2E_FILE" "^Quillon - ${QUILLON_E2E_FILE}\$"
  [ -n "$win" ] || fail "no window captioned Quillon - $QUILLON_E2E_FILE"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$win")"
  at() { xdotool mousemove $((X + $1)) $((Y + $2)); }
  dialog() {  # title: waits for a window of that title
    for _ in $(seq 1 50); do
      xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    fail "no window titled $1"
  }
  gone() {
    for _ in $(seq 1 50); do
      xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
      sleep 0.1
    done
    fail "the window titled $1 stays"
  }
  copy_page() {  # name: the rows of the page, copied from the record list
    at 100 283; xdotool click 1; sleep 0.3
    xdotool key shift+End; sleep 0.2; xdotool key ctrl+c; sleep 0.3
    xclip -o -selection clipboard > "$out/$1.txt" || fail "nothing on the clipboard for $1"
    at 100 283; xdotool click 1; sleep 0.3
  }
  xdotool windowfocus --sync $win

  # Edit > Filter Record List: "f" marks the first of the two items whose mnemonic is F (Filter,
  # then Find in Field List) and Return chooses it.
  xdotool key alt+e; sleep 0.4; xdotool key f; sleep 0.2; xdotool key Return
  dialog "Filter Records"
  sleep 0.3
  xdotool key Tab Tab; xdotool type --delay 20 KEEPME; xdotool key Return
  gone "Filter Records"
  sleep 0.5
  xdotool getwindowname $win > "$out/caption-filtered.txt"
  import -window "$win" "$QUILLON_E2E_SHOTS/filtered.png"
  copy_page filtered

  # Edit > Undo, the first item (its caption now names the filter, without a mnemonic).
  xdotool key alt+e; sleep 0.4; xdotool key Return; sleep 0.8
  copy_page undone

  # Paste two records from the clipboard: Edit > Paste Records from Clipboard.
  xclip -selection clipboard -i < "$QUILLON_E2E_PASTE"; sleep 0.3
  xdotool key alt+e; sleep 0.4; xdotool key p; sleep 0.8
  xdotool getwindowname $win > "$out/caption-pasted.txt"
  copy_page pasted

  # Edit a field: a click picks a line of the field list (Ctrl+C tells which), a double click
  # opens the input box, which takes the new value.
  at 350 283; xdotool click 1; sleep 0.3; xdotool key ctrl+c; sleep 0.3
  xclip -o -selection clipboard > "$out/field-line.txt" || fail "no field line copied"
  at 350 283; xdotool click --repeat 2 --delay 80 1
  dialog "Edit Field"
  sleep 0.3
  xdotool key ctrl+a; xdotool type --delay 20 NEWVALUE; xdotool key Return
  gone "Edit Field"
  sleep 0.5
  import -window "$win" "$QUILLON_E2E_SHOTS/field-edited.png"
  copy_page edited

  # File > Exit.
  xdotool key alt+f; sleep 0.4; xdotool key x
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then fail "still running after File > Exit"; fi
'
out="$scratch/out"
records() { tr '\r' '\n' < "$out/$1.txt" | grep -c '^MSH' || true; }
check() { [ "$2" = "$3" ] || { echo "$1: '$2', expected '$3'"; exit 1; }; }
check "caption after the filter" "$(cat "$out/caption-filtered.txt")" "Quillon - $file - filtered"
check "records after the filter" "$(records filtered)" 5
[ "$(tr '\r' '\n' < "$out/filtered.txt" | grep -c 'KEEPME')" = 5 ] || { echo "records without the text were kept"; exit 1; }
check "records after undo" "$(records undone)" 10
check "caption after the paste" "$(cat "$out/caption-pasted.txt")" "Quillon - data pasted from clipboard"
check "records after the paste" "$(records pasted)" 2
grep -q '|PASTED|' "$out/pasted.txt" || { echo "the pasted records are not shown"; exit 1; }
line=$(tr -d '\r\n' < "$out/field-line.txt")
designation=${line%% *}
case "$designation" in MSH-1|MSH-2|"") echo "the click picked no editable field line: '$line'"; exit 1;; esac
# The edited record: the old value gone from that field, the new one in its place, the other record untouched.
first=$(tr '\r' '\n' < "$out/edited.txt" | awk '/^MSH/{n++} n==1')
echo "$first" | grep -q 'NEWVALUE' || { echo "the field edit ($designation) is not in the record:"; echo "$first"; exit 1; }
# The designation names the field that changed: SEG-n is piece n+1 of the segment split on "|"
# (MSH-n piece n, its field separator being MSH-1).
segment=${designation%%-*} number=${designation#*-}; number=${number%%[-(]*}
piece=$((number + 1)); [ "$segment" = MSH ] && piece=$number
got=$(echo "$first" | awk -F'|' -v s="$segment" -v p="$piece" '$1 == s {print $p; exit}')
[ "$got" = NEWVALUE ] || { echo "$designation holds '$got' after the edit, not NEWVALUE"; exit 1; }
[ "$(tr '\r' '\n' < "$out/edited.txt" | grep -c NEWVALUE)" = 1 ] || { echo "the edit reached more than one field"; exit 1; }
check "records after the edit" "$(records edited)" 2
echo "1 passed, 0 failed"
