#!/usr/bin/env bash
# Kelvane: set up, build and start (no argument), run the tests (test), the
# benchmarks (bench), build the user guide as HTML into build/guide (docs),
# build the Debian package (package), run the whole suite
# under the address and undefined-behaviour sanitizers (sanitize) or the fuzz
# targets (fuzz [SECONDS]), the studies on a one-node Slurm cluster and a
# Dask cluster (cluster-test) and their benchmark (cluster-bench).  Installs
# the Debian packages the project needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
BUILD="$ROOT/build"

PACKAGES=(cmake g++ ninja-build libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev strace
  xvfb xauth fonts-ipafont-gothic imagemagick libnlopt-cxx-dev parallel
  pybind11-dev python3-dev python3-numpy python3-scipy python3-pytest python3-matplotlib
  python3-pandas python3-distributed
  dpkg-dev help2man lintian mkdocs)

# Only the fuzz command needs clang and its libFuzzer runtime.
FUZZ_PACKAGES=(clang libclang-rt-dev)
# Only cluster-test and cluster-bench need Slurm and its authentication.
CLUSTER_PACKAGES=(slurm-wlm munge)

# Root, or sudo without a password: what the cluster's daemons need.
can_be_root() { [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; }

install_missing() {
  local missing=()
  local wanted=("${PACKAGES[@]}" "$@")
  for p in "${wanted[@]}"; do
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
  docs)
    # The user guide (docs/guide, one page per task) as HTML, offline, with
    # Debian's MkDocs; --strict refuses a broken link between its pages.
    install_missing
    mkdocs build --strict --quiet -f "$ROOT/mkdocs.yml" -d "$BUILD/guide"
    echo "kelvane: the user guide is in $BUILD/guide; open $BUILD/guide/index.html"
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
  sanitize)
    # The whole suite built with -fsanitize=address,undefined in its own
    # folder; any finding fails its test.  The Python module is left out: an
    # instrumented extension cannot load into the plain interpreter.
    install_missing
    SAN="$ROOT/build-sanitize"
    cmake -S "$ROOT" -B "$SAN" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVANE_SANITIZE=ON \
      -DKELVANE_BUILD_BENCH=OFF -DKELVANE_BUILD_PYTHON=OFF >/dev/null
    cmake --build "$SAN"
    cd "$SAN"
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
      UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
      QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
    ;;
  fuzz)
    # Each libFuzzer target for SECONDS (default 60), one after the other,
    # from the seeds in tests/fuzz/corpus; the corpus grown stays in
    # build-fuzz/corpus.  A finding is written to build-fuzz/findings and
    # fails the command.
    seconds=${2:-60}
    install_missing "${FUZZ_PACKAGES[@]}"
    FUZZ="$ROOT/build-fuzz"
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$FUZZ" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVANE_FUZZ=ON >/dev/null
    targets=(data_file result_file run_parameters number_forms runner_options)
    cmake --build "$FUZZ" --target "${targets[@]/#/fuzz_}"
    mkdir -p "$FUZZ/findings"
    failed=0
    for t in "${targets[@]}"; do
      mkdir -p "$FUZZ/corpus/$t"
      echo "kelvane: fuzzing $t for $seconds s"
      # A target with a dictionary gets it; kelvane-run's command line
      # prints its help and refusals, which are closed off.
      extra=()
      [ -f "$ROOT/tests/fuzz/$t.dict" ] && extra+=(-dict="$ROOT/tests/fuzz/$t.dict")
      [ "$t" = runner_options ] && extra+=(-close_fd_mask=3)
      if ! "$FUZZ/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 "${extra[@]}" \
          -artifact_prefix="$FUZZ/findings/$t-" "$FUZZ/corpus/$t" "$ROOT/tests/fuzz/corpus/$t" \
          >"$FUZZ/$t.log" 2>&1; then
        echo "kelvane: fuzz_$t found a fault; see $FUZZ/$t.log and $FUZZ/findings/" >&2
        failed=1
      fi
      grep -E "^(Done|stat::number_of_executed_units)" "$FUZZ/$t.log" || true
    done
    exit $failed
    ;;
  cluster-test|cluster-bench)
    # A one-node Slurm cluster (munged, slurmctld, slurmd) in a scratch folder,
    # stopped at the end: the README's job array, a shard resumed after its
    # time limit and kelvane.study on a Dask cluster, each against one
    # machine's table (about 3 minutes); or rows per second across them.
    if ! can_be_root; then
      echo "kelvane: $cmd skipped: munged, slurmctld and slurmd need root, and sudo asks for a password here"
      exit 0
    fi
    install_missing "${CLUSTER_PACKAGES[@]}"
    build --target kelvane-run kelvane_python
    if [ "$cmd" = cluster-test ]; then
      exec "$ROOT/tests/cluster/cluster_test.sh" "$BUILD"
    fi
    exec "$ROOT/bench/across_machines.sh" "$BUILD"
    ;;
  *)
    echo "usage: $0 [start|test|bench|docs|package|sanitize|fuzz [SECONDS]|cluster-test|cluster-bench]" >&2
    exit 2
    ;;
esac
