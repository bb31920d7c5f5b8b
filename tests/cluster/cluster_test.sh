#!/usr/bin/env bash
# Studies across machines on real engines, each against the table of one
# kelvane-run study on one machine:
#  1. the README's Slurm job array (examples/slurm-study.sh, 4 shards) merged
#     by the README's rule;
#  2. a shard ended part-way by its time limit (Slurm's SIGTERM), submitted
#     again and resumed, merged with the other shard, whose table a second
#     resume leaves as it was;
#  3. kelvane.study on a Dask cluster of 2 worker processes against the
#     thread pool and kelvane-run (tests/python/test_study.py).
# A one-node Slurm cluster (tests/cluster/slurm_node.sh) is started in a
# scratch folder and stopped at the end.  Needs root or passwordless sudo;
# skips with the reason otherwise.  About two and a half minutes.
#
#   tests/cluster/cluster_test.sh BUILD_DIR
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
RUN="$BUILD/cli/kelvane-run"
JOB="$ROOT/examples/slurm-study.sh"

skip() { echo "cluster-test: skipped: $*"; exit 0; }
fail() { echo "cluster-test: FAILED: $*" >&2; exit 1; }
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null ||
    skip "munged, slurmctld and slurmd need root, and sudo asks for a password here"
  exec sudo -n "$0" "$BUILD"
fi
for tool in munged slurmctld slurmd sbatch squeue; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] ||
    skip "$tool is not installed (./kelvane.sh cluster-test installs slurm-wlm and munge)"
done
[ -x "$RUN" ] || fail "$RUN is not built"
/usr/bin/python3 -c "import pandas, distributed" 2>/dev/null ||
  fail "python3-pandas and python3-distributed are needed for the Dask part"

# shellcheck source=slurm_node.sh
source "$HERE/slurm_node.sh"
SCRATCH=$(mktemp -d /tmp/kelvane-cluster.XXXXXX)
# Long commands run in the background and are waited for, so that a signal
# to this script ends them and the cluster at once.
CHILD=""
bounded() {
  local seconds=$1
  shift
  timeout "$seconds" "$@" &
  CHILD=$!
  local rc=0
  wait "$CHILD" || rc=$?
  CHILD=""
  return "$rc"
}
cleanup() {
  [ -z "$CHILD" ] || kill "$CHILD" 2>/dev/null || true
  [ -z "${reference:-}" ] || kill "$reference" 2>/dev/null || true
  node_stop
  rm -rf "$SCRATCH"
}
trap cleanup EXIT
trap 'exit 143' TERM INT
node_start "$SCRATCH/node"
export PATH="$BUILD/cli:$PATH"
merge() { { head -n 1 part-1.csv; tail -q -n +2 part-*.csv | sort -t, -k1,1n; } >"$1"; }
rows() { tail -n +2 "$1" | wc -l; }

# 1. The README's job array: four shards, merged, against one machine.
mkdir "$SCRATCH/array" && cd "$SCRATCH/array"
bounded 600 sbatch --wait --quiet --array=1-4 "$JOB" || fail "the job array did not end well: $(cat slurm-*.out)"
merge study.csv
bounded 600 "$RUN" study --quiet --vary WebSpeed=0.2:2.0:0.1 --csv one.csv
[ "$(rows one.csv)" -eq 19 ] || fail "the one-machine table has $(rows one.csv) rows, not 19"
cmp study.csv one.csv || fail "the merged shards differ from the one-machine table"
echo "cluster-test: job array of 4 shards, merged: the 19 rows of the one-machine table"

# 2. A shard ended by its time limit and resumed.  Shard 1 of 2 holds the
# slow rows (a 7 mm step), as many as take 120 s of processor time, so that
# the time limit of one minute (which Slurm enforces 60 to 90 s after the
# start) ends it part-way however busy the machine; shard 2 holds the fast
# ones (a 10 cm step).  The one-machine table is made meanwhile.
mkdir "$SCRATCH/resume" && cd "$SCRATCH/resume"
TIMEFORMAT='%3U %3S'
cpu=$( { time "$RUN" study --robust --quiet --jobs 1 --vary WebSpeed=0.5,0.6,0.7 --vary IncrementZ=0.7 --csv probe.csv; } 2>&1)
[ "$(grep -c ',finished,' probe.csv)" -eq 3 ] || fail "the slow rows do not finish: $(cat probe.csv)"
per_row=$(awk -v t="$cpu" 'BEGIN { split(t, a, " "); printf "%d", (a[1] + a[2]) * 1000 / 3 + 1 }')   # ms
n=$(( 120000 / per_row + 1 ))
stop=$(awk -v n="$n" 'BEGIN { printf "%.3f", 0.5 + (n - 1) * 0.002 }')
STUDY=(--robust --vary "WebSpeed=0.500:$stop:0.002" --vary IncrementZ=0.7,10)
echo "cluster-test: a slow row takes $per_row ms of processor time; shard 1 of 2 holds $n of them"
timeout 1800 "$RUN" study --quiet --jobs 2 "${STUDY[@]}" --csv one.csv &
reference=$!
bounded 600 sbatch --wait --quiet --array=1-2 --time=1 "$JOB" "${STUDY[@]}" && fail "the time limit did not end shard 1"
wait "$reference" || fail "the one-machine study failed"
reference=""
grep -q "DUE TO TIME LIMIT" slurm-*_1.out || fail "shard 1 did not end by its time limit: $(cat slurm-*_1.out)"
[ "$(rows part-1.csv)" -eq "$n" ] || fail "shard 1's table has $(rows part-1.csv) rows, not $n"
done1=$(grep -c ",finished,\|,failed,\|,refused," part-1.csv || true)
grep -q ",cancelled,\|,not run," part-1.csv || fail "shard 1 was not stopped part-way"
[ "$done1" -gt 0 ] || fail "shard 1 stopped before its first row"
if grep -q ",cancelled,\|,not run," part-2.csv; then fail "shard 2 was stopped too"; fi
cp part-2.csv part-2.before
echo "cluster-test: the time limit stopped shard 1 after $done1 of $n rows; resubmitting"
bounded 1200 sbatch --wait --quiet --array=1-2 --cpus-per-task=2 "$JOB" "${STUDY[@]}" ||
  fail "the resubmitted shards did not end well: $(cat slurm-*.out)"
grep -q "$n of $n rows kept from part-2.csv; 0 to run" slurm-*_2.out || fail "shard 2 ran again: $(cat slurm-*_2.out)"
cmp part-2.csv part-2.before || fail "resuming the complete shard 2 changed its table"
merge study.csv
cmp study.csv one.csv || fail "the resumed shards differ from the one-machine table"
echo "cluster-test: shard 1 resumed; merged: the $((2 * n)) rows of the one-machine table"

# 3. Dask: two worker processes of one thread against the thread pool and
# kelvane-run.
cd "$ROOT"
bounded 600 env PYTHONPATH="$BUILD/python" KELVANE_RUNNER="$RUN" /usr/bin/python3 -m pytest -q -p no:cacheprovider \
  "$ROOT/tests/python/test_study.py" || fail "kelvane.study on Dask"
echo "cluster-test: passed in $SECONDS s"
