#!/usr/bin/env bash
# Kelvane: set up, build and start (no argument), run the tests (test) or the
# benchmarks (bench), or build the Debian package (package).  Installs the
# Debian packages the project needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
BUILD="$ROOT/build"

PACKAGES=(cmake g++ ninja-build libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev
  xvfb xauth fonts-ipafont-gothic imagemagick libnlopt-cxx-dev parallel
  pybind11-dev python3-dev python3-numpy python3-scipy python3-pytest python3-matplotlib
  dpkg-dev help2man lintian)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return
  fi
  echo "kelvane: installing ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "kelvane: sudo is not available; run as root or install: ${missing[*]}" >&2
      exit 1
    fi
    sudo="sudo"
  fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD" "$@"
}

cmd=${1:-start}
case "$cmd" in
  start)
    install_missing
    # Only what starts here: the window and the runner (the tests and the
    # benchmarks are built by "test" and "bench").
    if [ ! -x "$BUILD/ui/kelvane" ]; then
      echo "kelvane: building the window and kelvane-run; the first build takes a few minutes."
    fi
    build --target kelvane kelvane-run
    if [ -x "$BUILD/ui/kelvane" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec "$BUILD/ui/kelvane"
    fi
    if [ -x "$BUILD/ui/kelvane" ]; then
      echo "kelvane: no display here; running the default calculation with kelvane-run instead."
      echo "kelvane: to see the window without a desktop: xvfb-run -a $BUILD/ui/kelvane"
    fi
    "$BUILD/cli/kelvane-run" -o "$ROOT/result.txt" && status=0 || status=$?
    if [ "$status" -eq 0 ]; then
      echo "kelvane: result written to $ROOT/result.txt"
    else
      echo "kelvane: the default calculation did not finish (exit status $status; see the message above)" >&2
    fi
    exit $status
    ;;
  test)
    install_missing
    build
    cd "$BUILD"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
    ;;
  bench)
    install_missing
    build
    shift
    for b in "$BUILD"/bench/kelvane-bench-*; do
      [ -x "$b" ] && "$b" "$@"
    done
    if [ -d "$BUILD/python/kelvane" ]; then
      PYTHONPATH="$BUILD/python" /usr/bin/python3 "$ROOT/bench/python_threads.py"
    fi
    ;;
  package)
    install_missing
    build
    rm -f "$BUILD"/package/kelvane_*.deb
    (cd "$BUILD" && cpack -G DEB >/dev/null)
    deb=$(ls "$BUILD"/package/kelvane_*.deb)
    echo "kelvane: built $deb"
    # lintian's errors fail the build; its warnings are shown.
    lintian --fail-on error "$deb"
    echo "kelvane: install it with: sudo apt-get install $deb"
    ;;
  *)
    echo "usage: $0 [start|test|bench|package]" >&2
    exit 2
    ;;
esac
