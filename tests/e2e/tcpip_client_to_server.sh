#!/usr/bin/env bash
# End to end: two instances of the real program under Xvfb, each with its own scratch data root
# and settings file. One listens as the TCP/IP server and logs what it receives to disk; the
# other loads a file of 1,000 records and sends them all through its TCP/IP panel. Every record
# must arrive once and in order: the server's disk log equals the file byte for byte.
#   tcpip_client_to_server.sh <quillon binary> [screenshot folder]
# The run happens in a network namespace of its own, where only the loopback interface exists,
# so the server listens on nothing but 127.0.0.1.
set -euo pipefail
unset QT_QPA_PLATFORM
if [ -z "${QUILLON_E2E_IN_NETNS:-}" ]; then
  export QUILLON_E2E_IN_NETNS=1
  for how in "unshare -n" "unshare -rn"; do
    if $how true 2>/dev/null; then
      exec $how "$0" "$@"
    fi
  done
  echo "no network namespace available: skipped"
  exit 77
fi
ip link set lo up
bin=$(readlink -f "$1") shots=${2:-}
[ -z "$shots" ] || shots=$(readlink -f "$shots")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT


records=1000
file="$scratch/outbound.hl7"
/usr/bin/python3 - "$file" "$records" <<'EOF'
import sys
path, count = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as f:
    for i in range(1, count + 1):
        f.write((f"MSH|^~\\&|SENDER|FACILITY|RECEIVER|LAB|20261209{i % 86400:06d}||ADT^A08|MSG{i:06d}|P|2.4\r"
                 f"EVN|A08|20261209\r"
                 f"PID|1||{100000 + i}^^^HOSP||DOE^JANE^{i}||19700101|F\r"
                 f"PV1|1|I|WARD^{i % 40}^1\r\r\n").encode())
EOF
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# Each instance gets its default configuration from the test: the server logs to a file that
# does not exist yet, the client sends to the server's port with no delays of its own.
server_home="$scratch/server" client_home="$scratch/client"
log="$scratch/received.hl7"
for home in "$server_home" "$client_home"; do
  mkdir -p "$home/Marrowby/quillon/Servers" "$home/Marrowby/quillon/Clients"
done
printf '%s\r\n' "$port,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0,$log,$server_home/Marrowby/quillon/AlternateAck.txt" \
  > "$server_home/Marrowby/quillon/Servers/default.server"
printf '%s\r\n' "127.0.0.1, 127.0.0.1, $port, 0, 11, 13, 28, 0, 10, 10, 1, MSA|AA, 0, 1, 0, 0, 0b 06 1c 0d" \
  > "$client_home/Marrowby/quillon/Clients/default.client"

export QUILLON_E2E_BIN="$bin" QUILLON_E2E_FILE="$file" QUILLON_E2E_LOG="$log"
export QUILLON_E2E_SERVER="$server_home" QUILLON_E2E_CLIENT="$client_home" QUILLON_E2E_SHOTS="$shots"
export QUILLON_E2E_SIZE=$(stat -c %s "$file")

xvfb-run -a -s "-screen 0 1920x800x24" bash -c '
  set -u
  fail() { echo "$*"; kill $spid $cpid 2>/dev/null; exit 1; }
  window() {  # pid caption-pattern: the window of that instance once it has that caption
    local w=""
    for _ in $(seq 1 300); do
      w=$(xdotool search --pid "$1" --name "$2" 2>/dev/null | head -n1 || true)
      [ -n "$w" ] && { echo "$w"; return; }
      kill -0 "$1" 2>/dev/null || return
      sleep 0.1
    done
  }
  click() {  # window x y: a click at a point of the window
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click 1
    sleep 0.4
  }
  exit_program() {  # pid window: File > Exit, then the process must end
    click "$2" 15 8
    xdotool key x
    for _ in $(seq 1 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    fail "instance $1 still running after File > Exit"
  }
  shot() { [ -z "$QUILLON_E2E_SHOTS" ] || import -window "$1" "$QUILLON_E2E_SHOTS/$2"; }
  spid="" cpid=""
  # launch home [file]: an instance on that data root; one that dies before its window shows
  # without a sanitizer report (the display not ready under load) is started once more.
  launch() {
    local tries
    for tries in 1 2; do
      QUILLON_HOME="$1" "$QUILLON_E2E_BIN" ${2:+"$2"} >/dev/null 2>>"$1/stderr.txt" &
      launched=$!
      launched_win=$(window $launched "^Quillon")
      [ -n "$launched_win" ] && return
      kill -0 $launched 2>/dev/null && return
      echo "an instance ended before its window showed; it printed:"
      cat "$1/stderr.txt"
      grep -qE "Sanitizer|runtime error" "$1/stderr.txt" && return
    done
  }

  # The server: TCP/IP panel from the toolbar, server mode, log to disk, Start.
  launch "$QUILLON_E2E_SERVER"
  spid=$launched swin=$launched_win
  [ -n "$swin" ] || fail "the server instance shows no window"
  sleep 0.5
  click $swin 416 33
  click $swin 31 129
  click $swin 34 270
  click $swin 64 183
  [ -n "$(window $spid "^Quillon - TCP/IP Server\$")" ] || fail "the server did not start listening"
  xdotool windowmove $swin 960 0
  sleep 0.3

  # The client: the file from its command line, TCP/IP panel, every record (not only the
  # selected one), Start.
  launch "$QUILLON_E2E_CLIENT" "$QUILLON_E2E_FILE"
  cpid=$launched
  cwin=$(window $cpid "^Quillon - ${QUILLON_E2E_FILE}\$")
  [ -n "$cwin" ] || fail "the client instance shows no window captioned with the file"
  sleep 0.5
  click $cwin 416 33
  click $cwin 47 209
  click $cwin 64 183

  # The client waits at least 0.05 s between records: about a minute for the whole file.
  for _ in $(seq 1 1500); do
    [ "$(stat -c %s "$QUILLON_E2E_LOG" 2>/dev/null || echo 0)" -ge "$QUILLON_E2E_SIZE" ] && break
    sleep 0.1
  done
  sleep 1
  shot $cwin tcpip-client.png
  shot $swin tcpip-server.png
  exit_program $cpid $cwin
  exit_program $spid $swin
'
[ -f "$log" ] || { echo "the server wrote no log"; exit 1; }
if ! cmp "$file" "$log"; then
  echo "the server log differs from the file sent: $(grep -c '^MSH' "$log" || true) of $records records"
  exit 1
fi
echo "1 passed, 0 failed"
