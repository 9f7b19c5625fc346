#!/usr/bin/env bash
# Set-up, build, run and test Quillon on Debian 12.
#   ./quillon.sh run [file.hl7]   install what is missing, build, start Quillon on the file
#                                 (the shipped samples/sample.hl7 when none is named)
#   ./quillon.sh test             install what is missing, build, run every test
#   ./quillon.sh build            install what is missing and build
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build="$here/build"

packages=(cmake g++ make pkg-config qt6-base-dev libqt6sql6-odbc libqt6sql6-sqlite libqt6sql6-psql
  libgtest-dev libcurl4-openssl-dev libzip-dev zip unzip gzip ncompress python3-pyftpdlib
  unixodbc unixodbc-dev odbc-postgresql libsqliteodbc postgresql sqlite3 xvfb xauth xdotool openbox
  x11-utils xclip imagemagick poppler-utils fonts-dejavu-core xdg-utils iputils-ping
  libreoffice-writer-nogui qtkeychain-qt6-dev)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_all() {
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

cmd=${1:-run}
[ $# -gt 0 ] && shift
case "$cmd" in
  build)
    install_missing; build_all ;;
  run)
    install_missing; build_all
    file=${1:-"$here/samples/sample.hl7"}
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display: starting Quillon under Xvfb (xvfb-run)."
      exec xvfb-run -a "$build/quillon" "$file"
    fi
    exec "$build/quillon" "$file" ;;
  test)
    install_missing; build_all
    cd "$build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300 ;;
  *)
    echo "usage: $0 run [file.hl7] | test | build" >&2; exit 2 ;;
esac
