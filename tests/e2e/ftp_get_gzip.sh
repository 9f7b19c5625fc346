#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root and settings file fetches a
# gzip file of 250 records from a local FTP server with the toolbar's FTP Get: the FTP window
# logs in, the file is selected and "View as HL7" downloads it; the main window then names the
# remote file in its caption and holds the records, which File > Save (a Save As after FTP Get)
# writes back byte for byte.
#   ftp_get_gzip.sh <quillon binary> [screenshot.png]
set -euo pipefail
unset QT_QPA_PLATFORM
bin=$(readlink -f "$1") shot=${2:-}
[ -z "$shot" ] || shot=$(readlink -f "$shot")
scratch=$(mktemp -d)
server=""
stop_server() {
  [ -n "$server" ] || return 0
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  server=""
}
trap 'stop_server; rm -rf "$scratch"' EXIT
served="$scratch/served"
mkdir -p "$served" "$scratch/out"

# 250 records as File > Save writes them: segments ended by CR, each record then CR LF.
/usr/bin/python3 - "$scratch/adt.dat" <<'PY'
import sys
records = []
for i in range(1, 251):
    records.append(
        b"MSH|^~\\&|ADT|NORTH|LAB|SOUTH|20260314%06d||ADT^A0%d|CTL%05d|P|2.4\r" % (i * 37 % 240000, i % 8 + 1, i)
        + b"EVN|A0%d|20260314%06d\r" % (i % 8 + 1, i)
        + b"PID|1||%07d^^^NORTH^MR||FAMILY%d^GIVEN%d||19%02d0101|%s\r" % (i * 7919, i, i % 97, i % 100, b"MF"[i % 2:i % 2 + 1])
        + b"PV1|1|I|W%d^%d^A||||%d^DOCTOR^ANN\r" % (i % 9, i % 40, 1000 + i)
        + b"OBX|1|NM|HGB^Hemoglobin||%d.%d|g/dL|12.0-16.0|N|||F\r\r\n" % (10 + i % 7, i % 10))
open(sys.argv[1], "wb").write(b"".join(records))
PY
gzip -c "$scratch/adt.dat" > "$served/adt.dat.gz"

# The server: pyftpdlib under the system python, on 127.0.0.1 at a port it picks and prints.
cat > "$scratch/pyftpd_e2e.py" <<'PY'
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
authorizer = DummyAuthorizer()
authorizer.add_user("hl7user", "pass-e2e", sys.argv[1], perm="elr")
handler = FTPHandler
handler.authorizer = authorizer
handler.auth_failed_timeout = 0
server = FTPServer(("127.0.0.1", 0), handler)
print(server.address[1], flush=True)
server.serve_forever()
PY
/usr/bin/python3 "$scratch/pyftpd_e2e.py" "$served" > "$scratch/port" 2> "$scratch/ftpd.log" &
server=$!
port=""
for _ in $(seq 1 100); do
  port=$(head -n1 "$scratch/port" 2>/dev/null || true)
  [ -n "$port" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
[ -n "$port" ] || { echo "the FTP server did not start:"; cat "$scratch/ftpd.log"; exit 1; }

# The FTP window lists the .gz files first.
export QUILLON_HOME="$scratch/home"
mkdir -p "$QUILLON_HOME"
printf '[Quillon\\DefaultFTPExtension]\n0=.gz\n[Quillon\\DefaultFTPExtensions]\n0=.*\n1=.dat\n2=.gz\n' \
  > "$QUILLON_HOME/Quillon.settings"

export QUILLON_E2E_BIN="$bin" QUILLON_E2E_PORT="$port" QUILLON_E2E_SHOT="$shot"
export QUILLON_E2E_LIB="$(dirname "$(readlink -f "$0")")/start_program.sh"
export QUILLON_E2E_OUT="$scratch/out"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  out=$QUILLON_E2E_OUT
  fail() { echo "$*"; cat "$QUILLON_HOME/stderr.txt"; kill $pid 2>/dev/null; exit 1; }
  . "$QUILLON_E2E_LIB"
  pid=""
  start_program "" "^Quillon\$"
  [ -n "$win" ] || fail "no main window"
  sleep 0.5
  xdotool windowfocus --sync $win
  eval "$(xdotool getwindowgeometry --shell "$win")"

  # The toolbar'"'"'s FTP Get.
  xdotool mousemove $((X + 294)) $((Y + 33)) click 1
  ftp=$(wait_window "^FTP Get\$")
  [ -n "$ftp" ] || fail "no window captioned FTP Get"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$ftp" | sed "s/^/F/")"
  at() { xdotool mousemove $((FX + $1)) $((FY + $2)) click 1; sleep 0.2; }
  # Server Name / IP:, User Name:, Password:, each typed over, then Connect.
  at 460 70; xdotool key ctrl+a; xdotool type --delay 10 "127.0.0.1:$QUILLON_E2E_PORT"
  at 460 98; xdotool key ctrl+a; xdotool type --delay 10 hl7user
  at 460 126; xdotool key ctrl+a; xdotool type --delay 10 pass-e2e
  at 180 340
  [ -n "$(wait_window "^FTP Get - 127.0.0.1:$QUILLON_E2E_PORT\$")" ] || fail "no connection"
  sleep 0.5
  # The login frame is gone: the one file listed, then View as HL7.
  at 300 84
  at 943 96
  for _ in $(seq 1 100); do
    caption=$(xdotool getwindowname $win 2>/dev/null || true)
    [ "${caption#Quillon - FTP Get - }" != "$caption" ] && break
    sleep 0.1
  done
  echo "$caption" > "$out/caption.txt"
  [ -z "$QUILLON_E2E_SHOT" ] || import -window $win "$QUILLON_E2E_SHOT"

  # File > Save: after FTP Get it asks where to save (once more when a slow build missed the keys).
  save=""
  for _ in 1 2 3; do
    xdotool windowfocus --sync $win
    xdotool key alt+f; sleep 0.4; xdotool key s
    save=$(wait_window "^Save All Records")
    [ -n "$save" ] && break
    xdotool key Escape
  done
  [ -n "$save" ] || fail "File > Save asked for no file"
  sleep 0.5
  xdotool key ctrl+a; xdotool type --delay 10 "$out/saved.dat"; xdotool key Return
  last=-1
  for _ in $(seq 1 100); do
    size=$(stat -c %s "$out/saved.dat" 2>/dev/null || echo -1)
    [ "$size" -gt 0 ] && [ "$size" = "$last" ] && break
    last=$size; sleep 0.1
  done
  [ -s "$out/saved.dat" ] || fail "File > Save wrote no file"

  xdotool windowfocus --sync $win
  xdotool key alt+f; sleep 0.4; xdotool key x
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then fail "still running after File > Exit"; fi
'
stop_server
caption=$(cat "$scratch/out/caption.txt")
expected="Quillon - FTP Get - 127.0.0.1:$port:/adt.dat.gz"
[ "$caption" = "$expected" ] || { echo "caption \"$caption\", not \"$expected\""; exit 1; }
records=$(tr '\r' '\n' < "$scratch/out/saved.dat" | grep -c '^MSH|')
[ "$records" = 250 ] || { echo "$records records saved, not 250"; exit 1; }
cmp "$scratch/adt.dat" "$scratch/out/saved.dat" || { echo "the saved records differ from the file served"; exit 1; }
echo "1 passed, 0 failed"
