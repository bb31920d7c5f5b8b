#!/usr/bin/env bash
# Rows per second of one 48-row study (the default window, as
# kelvane-bench-study runs it) across the ways of running it: one process
# with 1 and 2 runs at once, a Slurm job array of 2 and of 4 shards on a
# one-node cluster (submission to the last task's end, merge included), and
# from Python a thread pool against a Dask cluster (bench/study_executors.py).
# Needs root for the cluster (./kelvane.sh cluster-bench).
#
#   bench/across_machines.sh BUILD_DIR
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
RUN="$BUILD/cli/kelvane-run"
STUDY=(--robust --vary 'PartialPressure1[14]=0:11:1' --vary 'PartialPressure2[14]=0:3:1')

source "$ROOT/tests/cluster/slurm_node.sh"
SCRATCH=$(mktemp -d /tmp/kelvane-bench.XXXXXX)
trap 'node_stop; rm -rf "$SCRATCH"' EXIT
trap 'exit 143' TERM INT
node_start "$SCRATCH/node"
export PATH="$BUILD/cli:$PATH"
cd "$SCRATCH"

now() { date +%s%N; }
rate() { awk -v ns="$1" 'BEGIN { printf "%.2f", 48 / (ns / 1e9) }'; }

one_process() {
  local t=$(now)
  "$RUN" study --quiet --jobs "$1" "${STUDY[@]}" --csv "one-$1.csv"
  rate $(($(now) - t))
}

slurm_array() {
  mkdir "array-$1" && cd "array-$1"
  local t=$(now) id
  id=$(sbatch --parsable --array="1-$1" "$ROOT/examples/slurm-study.sh" "${STUDY[@]}")
  wait_gone "${id%%;*}" 600 || { echo "the array did not end" >&2; exit 1; }
  { head -n 1 part-1.csv; tail -q -n +2 part-*.csv | sort -t, -k1,1n; } >study.csv
  local r
  r=$(rate $(($(now) - t)))
  cmp -s study.csv ../one-1.csv || { echo "array of $1: other rows than one process" >&2; exit 1; }
  cd ..
  echo "$r"
}

j1=$(one_process 1)
j2=$(one_process 2)
cmp -s one-1.csv one-2.csv || { echo "1 and 2 runs at once give other rows" >&2; exit 1; }
a2=$(slurm_array 2)
a4=$(slurm_array 4)
echo "one process, 1 run at once:  $j1 rows/s"
echo "one process, 2 runs at once: $j2 rows/s (x$(awk -v a="$j2" -v b="$j1" 'BEGIN { printf "%.2f", a / b }'))"
echo "Slurm array of 2 shards:     $a2 rows/s (x$(awk -v a="$a2" -v b="$j2" 'BEGIN { printf "%.2f", a / b }') of one process with 2)"
echo "Slurm array of 4 shards:     $a4 rows/s (x$(awk -v a="$a4" -v b="$j2" 'BEGIN { printf "%.2f", a / b }') of one process with 2)"
PYTHONPATH="$BUILD/python" /usr/bin/python3 "$HERE/study_executors.py"
