# Sourced by the end-to-end scripts inside their X server.
# start_program <file> <caption pattern>: starts $QUILLON_E2E_BIN on the file ("": on none) with stderr kept in
# $QUILLON_HOME/stderr.txt, and sets pid and win once a window of that caption shows. A program
# that ends before its window shows without a sanitizer report (the display not ready on a
# loaded machine) is started once more, after showing what it printed.
start_program() {
  local tries
  for tries in 1 2; do
    "$QUILLON_E2E_BIN" ${1:+"$1"} >/dev/null 2>>"$QUILLON_HOME/stderr.txt" &
    pid=$!
    win=""
    for _ in $(seq 1 300); do
      win=$(xdotool search --pid $pid --name "$2" 2>/dev/null | head -n1 || true)
      [ -n "$win" ] && return 0
      kill -0 $pid 2>/dev/null || break
      sleep 0.1
    done
    kill -0 $pid 2>/dev/null && return 1
    echo "the program ended before its window showed; it printed:"
    cat "$QUILLON_HOME/stderr.txt"
    grep -qE "Sanitizer|runtime error" "$QUILLON_HOME/stderr.txt" && return 1
  done
  return 1
}

# wait_window <caption pattern>: prints the first visible window of that caption, waiting up to
# five seconds for it (nothing when none shows).
wait_window() {
  local w=""
  for _ in $(seq 1 50); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$w" ] && break
    sleep 0.1
  done
  echo "$w"
}

# answer_box <caption pattern> <text>: waits for that input box, gives it the keyboard, types the
# text and presses Return (fails when the box does not show).
answer_box() {
  local w
  w=$(wait_window "$1")
  [ -n "$w" ] || return 1
  xdotool windowfocus --sync "$w" 2>/dev/null || true
  sleep 0.2
  xdotool type --delay 20 "$2"; xdotool key Return
}

# wait_file <name>: waits up to ten seconds for a file of that name under $QUILLON_HOME.
wait_file() {
  for _ in $(seq 1 100); do
    [ -n "$(find "$QUILLON_HOME" -name "$1" 2>/dev/null | head -n1)" ] && return 0
    sleep 0.1
  done
  return 1
}
