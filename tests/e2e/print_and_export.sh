#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root loads the shipped sample,
# builds a report of MSH-7, MSH-9 and MSH-10 (Reports > Create a Report Using Selected Fields...),
# selects all its rows, exports them from the report window's Export with the dialog's defaults
# (delimited, descriptions as headings, only the selected rows), prints the report from File >
# Print... into a PDF through the print dialog, then prints records 1 and 3 with the toolbar's
# Print button. The exported file is compared byte for byte; the PDFs are read back as text.
#   print_and_export.sh <quillon binary> <sample.hl7> [screenshot folder]
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
  # The print dialog answered with a PDF file: its output file box, then its Print button.
  # Fills the print dialog'"'"'s output file and prints; once more when a busy machine let the
  # dialog miss the clicks (it is then still open and nothing was written).
  print_to() {
    local pw
    for _ in 1 2; do
      pw=$(wait_window "^Print\$")
      [ -n "$pw" ] || fail "no print dialog for $1"
      sleep 0.5
      eval "$(xdotool getwindowgeometry --shell "$pw" | sed "s/^/P/")"
      xdotool mousemove $((PX + 188)) $((PY + 117)) click 1; sleep 0.2
      xdotool key ctrl+a; xdotool type --delay 10 "$1"
      xdotool mousemove $((PX + 201)) $((PY + 158)) click 1
      wait_written "$1" && return 0
    done
  }
  # Waits until the file exists and has stopped growing (a slow build writes it slowly).
  wait_written() {
    local last=-1 size
    for _ in $(seq 1 100); do
      size=$(stat -c %s "$1" 2>/dev/null || echo -1)
      [ "$size" -gt 0 ] && [ "$size" = "$last" ] && return 0
      last=$size; sleep 0.3
    done
    return 1
  }
  # Waits until no visible window of that caption is left.
  wait_gone() {
    for _ in $(seq 1 100); do
      [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)" ] && return 0
      sleep 0.1
    done
    return 1
  }
  . "$QUILLON_E2E_LIB"
  pid=""
  start_program "$QUILLON_E2E_FILE" "^Quillon - ${QUILLON_E2E_FILE}\$"
  [ -n "$win" ] || fail "no window captioned Quillon - $QUILLON_E2E_FILE"
  sleep 0.5
  xdotool windowfocus --sync $win
  eval "$(xdotool getwindowgeometry --shell "$win")"

  # The field lines MSH-7, MSH-9 and MSH-10, then Reports > Create a Report Using Selected Fields...
  xdotool mousemove $((X + 350)) $((Y + 342)) click 1; sleep 0.3
  xdotool keydown ctrl
  xdotool mousemove $((X + 350)) $((Y + 376)) click 1; xdotool mousemove $((X + 350)) $((Y + 427)) click 1
  xdotool keyup ctrl
  sleep 0.3
  xdotool mousemove $((X + 286)) $((Y + 8)) click 1; sleep 0.4; xdotool key Down Return
  rep=$(wait_window "^Report Writer\$")
  [ -n "$rep" ] || fail "the report window did not show"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$rep" | sed "s/^/R/")"
  xdotool key ctrl+a; sleep 0.3

  # Export (the report window'"'"'s menu bar), its Fixed Width tab for the screenshot, then back
  # to Delimited and Export into out/report.csv.
  xdotool mousemove $((RX + 141)) $((RY + 8)) click 1
  ex=$(wait_window "^Export Report\$")
  [ -n "$ex" ] || fail "the export window did not show"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$ex" | sed "s/^/E/")"
  xdotool mousemove $((EX + 139)) $((EY + 24)) click 1; sleep 0.5
  import -window "$ex" "$QUILLON_E2E_SHOTS/export-report.png"
  xdotool mousemove $((EX + 52)) $((EY + 24)) click 1; sleep 0.3
  xdotool mousemove $((EX + 315)) $((EY + 510)) click 1
  [ -n "$(wait_window "^Export to Delimited File\$")" ] || fail "no save dialog for the export"
  sleep 0.5
  xdotool type --delay 10 "$QUILLON_E2E_OUT/report.csv"; xdotool key Return
  wait_written "$QUILLON_E2E_OUT/report.csv"
  wait_gone "^Export Report\$" || fail "the export window stayed open"

  # File > Print... of the report window (Ctrl+P).
  xdotool windowfocus --sync $rep; xdotool key ctrl+p
  print_to "$QUILLON_E2E_OUT/report.pdf"
  wait_gone "^Print\$" || fail "the print dialog stayed open"
  xdotool windowfocus --sync $rep; xdotool key Escape
  wait_gone "^Report Writer\$" || fail "the report window stayed open"

  # Records 1 and 3 selected, then the toolbar'"'"'s Print button (the dialog opens on Selection).
  xdotool windowfocus --sync $win
  xdotool mousemove $((X + 100)) $((Y + 283)) click 1; sleep 0.2
  xdotool keydown ctrl; xdotool mousemove $((X + 100)) $((Y + 317)) click 1; xdotool keyup ctrl
  sleep 0.3
  xdotool mousemove $((X + 171)) $((Y + 33)) click 1
  print_to "$QUILLON_E2E_OUT/records.pdf"
  wait_gone "^Print\$" || fail "the print dialog stayed open"

  # File > Exit (once more when a slow build missed the keys).
  for _ in 1 2 3; do
    xdotool windowfocus --sync $win
    xdotool key alt+f; sleep 0.8; xdotool key x
    for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    kill -0 $pid 2>/dev/null || break
    xdotool key Escape
  done
  if kill -0 $pid 2>/dev/null; then fail "still running after File > Exit"; fi
'
out="$scratch/out"
# The export: the descriptions as headings, then MSH-7, MSH-9 and MSH-10 of the twelve records.
{
  printf 'Date/Time Of Message,Message Type,Message Control ID\r\n'
  tr '\r' '\n' < "$sample" | awk -F'|' '/^MSH\|/ {printf "%s,%s,%s\r\n", $7, $9, $10}'
} > "$out/expected.csv"
cmp "$out/expected.csv" "$out/report.csv" || { echo "the export differs:"; od -c "$out/report.csv" | head -20; exit 1; }

report=$(pdftotext -layout "$out/report.pdf" -)
grep -qF "$sample" <<<"$report" || { echo "the printed report has no title:"; echo "$report"; exit 1; }
grep -qE '^ *MSH-7 +MSH-9 +MSH-10 *$' <<<"$report" || { echo "no header line:"; echo "$report"; exit 1; }
[ "$(grep -cE '^ *20261208[0-9]{6} +[A-Z]{3}\^[A-Z][0-9]{2} +MSG100[0-9]{2} *$' <<<"$report")" = 12 ] \
  || { echo "the printed report does not hold 12 rows:"; echo "$report"; exit 1; }
grep -qE 'Quillon \(tm\) .* @ .* Page 1$' <<<"$report" || { echo "no footer:"; echo "$report"; exit 1; }

records=$(pdftotext -layout "$out/records.pdf" -)
grep -qF "Keys: ¶=end-of-segment delimiter" <<<"$records" || { echo "no legend:"; echo "$records"; exit 1; }
grep -qE '^ *# 1 +MSH\|' <<<"$records" && grep -qE '^ *# 3 +MSH\|' <<<"$records" \
  && ! grep -qE '^ *# 2 ' <<<"$records" || { echo "not records 1 and 3 alone:"; echo "$records"; exit 1; }
grep -qF 'MSG10002' <<<"$records" || { echo "record 3 is not printed whole:"; echo "$records"; exit 1; }
[ -s "$shots/export-report.png" ] || { echo "missing screenshot"; exit 1; }
echo "1 passed, 0 failed"
