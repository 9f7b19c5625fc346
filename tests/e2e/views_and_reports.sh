#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root loads the shipped sample,
# selects the field lines MSH-7, MSH-9 and MSH-10 and saves them as the view "MyView" (Views > Create a
# View Using Selected Fields), switches the view off and applies it again from the Views menu
# (the field list must then hold those three lines only), builds a report of them
# (Reports > Create a Report Using Selected Fields...), saves it as the definition "MyReport"
# from the report window's File menu, reruns it from the Reports menu and copies all its rows.
# The rows must be the twelve records' MSH-7, MSH-9 and MSH-10, in record order.
#   views_and_reports.sh <quillon binary> <sample.hl7> [screenshot folder]
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
  menu_item() {  # clicks the menu bar at x (the menu opens with no item active), then item n
    xdotool windowfocus --sync $win
    xdotool mousemove $((X + $1)) $((Y + 8)) click 1; sleep 0.4
    for _ in $(seq 1 "$2"); do xdotool key Down; done
    xdotool key Return
  }
  . "$QUILLON_E2E_LIB"
  pid=""
  start_program "$QUILLON_E2E_FILE" "^Quillon - ${QUILLON_E2E_FILE}\$"
  [ -n "$win" ] || fail "no window captioned Quillon - $QUILLON_E2E_FILE"
  sleep 0.5
  xdotool windowfocus --sync $win
  eval "$(xdotool getwindowgeometry --shell "$win")"
  views=232 reports=286

  # The field lines MSH-7 and MSH-10 become the view "MyView" (saved and applied at once).
  xdotool mousemove $((X + 350)) $((Y + 342)) click 1; sleep 0.3
  xdotool keydown ctrl
  xdotool mousemove $((X + 350)) $((Y + 376)) click 1; xdotool mousemove $((X + 350)) $((Y + 427)) click 1
  xdotool keyup ctrl
  sleep 0.3
  menu_item $views 1
  answer_box "^View Name\$" MyView || fail "no input box for the view name"
  wait_file MyView.view || fail "MyView.view was not saved"
  sleep 0.5

  # Views > Disable current view, then Views > MyView (after Delete a View...: with no field
  # line selected, Create a View cannot be chosen).
  menu_item $views 1; sleep 0.5
  menu_item $views 2; sleep 0.8
  import -window "$win" "$QUILLON_E2E_OUT/view.png"

  # The three lines the view leaves, then Reports > Create a Report Using Selected Fields...
  xdotool mousemove $((X + 350)) $((Y + 240)) click 1; sleep 0.3
  xdotool keydown ctrl
  xdotool mousemove $((X + 350)) $((Y + 257)) click 1; xdotool mousemove $((X + 350)) $((Y + 274)) click 1
  xdotool keyup ctrl
  sleep 0.3
  xdotool key ctrl+c; sleep 0.3
  xclip -o -selection clipboard > "$QUILLON_E2E_OUT/fields.txt" || true
  menu_item $reports 1
  rep=$(wait_window "^Report Writer\$")
  [ -n "$rep" ] || fail "the report window did not show"
  sleep 0.5
  # File > Save Report Definition... as "MyReport", then close the window.
  xdotool key alt+f; sleep 0.4; xdotool key Return
  answer_box "^Report Name\$" MyReport || fail "no input box for the report name"
  wait_file MyReport.report || fail "MyReport.report was not saved"
  sleep 0.3
  xdotool key Escape; sleep 0.5

  # Reports > MyReport (after Create and Delete a Report...), then Select All and Copy.
  menu_item $reports 3
  rep=$(wait_window "^Report Writer\$")
  [ -n "$rep" ] || fail "the report window did not show from the Reports menu"
  sleep 0.5
  import -window "$rep" "$QUILLON_E2E_SHOTS/report-window.png"
  xdotool key ctrl+a; sleep 0.2; xdotool key ctrl+c; sleep 0.4
  xclip -o -selection clipboard > "$QUILLON_E2E_OUT/report.txt" || true
  xdotool key Escape; sleep 0.5

  # File > Exit.
  xdotool windowfocus --sync $win
  xdotool key alt+f; sleep 0.4; xdotool key x
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then fail "still running after File > Exit"; fi
'
out="$scratch/out"
fields=$(tr -d '\r' < "$out/fields.txt" | awk 'NF {print $1}' | paste -sd' ')
[ "$fields" = "MSH-7 MSH-9 MSH-10" ] || { echo "the view left the field lines '$fields', not 'MSH-7 MSH-9 MSH-10'"; exit 1; }
views_folder=$(find "$scratch/home" -type d -name Views | head -n1)
reports_folder=$(find "$scratch/home" -type d -name Reports | head -n1)
[ -f "$views_folder/MyView.view" ] || { echo "no MyView.view in '$views_folder'"; exit 1; }
[ "$(tr -d '\r' < "$reports_folder/MyReport.report" | paste -sd' ')" = "MSH-7 MSH-9 MSH-10" ] \
  || { echo "MyReport.report does not hold MSH-7, MSH-9 and MSH-10"; exit 1; }
rows=$(tr -d '\r' < "$out/report.txt" | grep -cE '^20261208[0-9]{6} +[A-Z]{3}\^[A-Z][0-9]{2} +MSG100[0-9]{2}' || true)
[ "$rows" = 12 ] || { echo "the copied report holds $rows rows, not 12:"; cat "$out/report.txt"; exit 1; }
first=$(tr -d '\r' < "$out/report.txt" | grep -m1 -oE 'MSG100[0-9]{2}')
[ "$first" = MSG10000 ] || { echo "the first row is $first, not MSG10000"; exit 1; }
[ -s "$shots/report-window.png" ] || { echo "missing screenshot"; exit 1; }
echo "1 passed, 0 failed"
