#!/usr/bin/env bash
# Set-up, build, run and test Quillon on Debian 12.
#   ./quillon.sh run [file.hl7]   install what is missing, build, start Quillon on the file
#                                 (the shipped samples/sample.hl7 when none is named)
#   ./quillon.sh test             install what is missing, build (with the tests and the
#                                 benchmark programs), run every test
#   ./quillon.sh build            install what is missing and build
#   ./quillon.sh bench [name...]  install what is missing, build the benchmark programs and run
#                                 the named ones (bench_load, bench_sources, ...)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build="$here/build"

# What building and running need: the compiler and the libraries Quillon links (GIO for the
# desktop's default programs, with the file types it knows them by), and the programs it starts
# (gzip for compressed files, ping).
run_packages=(cmake g++ make pkg-config qt6-base-dev libcurl4-openssl-dev libzip-dev unixodbc-dev
  qtkeychain-qt6-dev libglib2.0-dev shared-mime-info gzip iputils-ping fonts-dejavu-core)
# Running without a display: Xvfb.
headless_packages=(xvfb xauth)
# What the tests add: GoogleTest, the archivers that make their inputs, an FTP server, the ODBC
# drivers and databases, the X tools of the end-to-end runs, pdftotext and an RTF reader.
test_packages=(libgtest-dev zip ncompress python3-pyftpdlib odbc-postgresql libsqliteodbc
  postgresql sqlite3 xvfb xauth xdotool openbox x11-utils xclip imagemagick poppler-utils unrtf)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build_all TESTS BENCHMARKS, each ON or OFF: with or without the tests and the benchmark programs.
build_all() {
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS="$1" \
    -DQUILLON_BENCHMARKS="$2" >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

cmd=${1:-run}
[ $# -gt 0 ] && shift
case "$cmd" in
  build)
    install_missing "${run_packages[@]}"; build_all OFF OFF ;;
  run)
    headless=
    [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && headless=1
    if [ -n "$headless" ]; then
      install_missing "${run_packages[@]}" "${headless_packages[@]}"
    else
      install_missing "${run_packages[@]}"
    fi
    build_all OFF OFF
    file=${1:-"$here/samples/sample.hl7"}
    if [ -n "$headless" ]; then
      echo "No display: starting Quillon under Xvfb (xvfb-run)."
      exec xvfb-run -a "$build/quillon" "$file"
    fi
    exec "$build/quillon" "$file" ;;
  test)
    install_missing "${run_packages[@]}" "${test_packages[@]}"; build_all ON ON
    cd "$build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300 ;;
  bench)
    # The benchmarks' references and sources are the tests' programs and databases.
    install_missing "${run_packages[@]}" "${test_packages[@]}"; build_all OFF ON
    for name in "$@"; do
      echo "== $name"
      QT_QPA_PLATFORM=offscreen "$build/bench/$name"
    done ;;
  *)
    echo "usage: $0 run [file.hl7] | test | build | bench [name...]" >&2; exit 2 ;;
esac
