#!/bin/bash
# A Kelvane study as a Slurm job array: each array task runs one shard and
# writes part-K.csv in the folder the job was submitted from.  Merge the
# shards when every task is done:
#
#   { head -n 1 part-1.csv; tail -q -n +2 part-*.csv | sort -t, -k1,1n; } > study.csv
#
# A task stopped by its time limit or a preemption (Slurm sends SIGTERM)
# stops its runs between two steps and writes its table with the rows it did
# not finish marked; submitted again, a task keeps the rows its table holds
# and runs only the others (--resume), so the same script serves the first
# submission and every one after it.
#
# Study options after the script's name replace the sweep below:
#   sbatch examples/slurm-study.sh --vary WebSpeed=0.5:2.0:0.05 --set 'OuterTemperature[2]=90'
#
#SBATCH --job-name=kelvane-study
#SBATCH --array=1-16
#SBATCH --cpus-per-task=1
#SBATCH --output=slurm-%A_%a.out

[ $# -gt 0 ] || set -- --vary WebSpeed=0.2:2.0:0.1
exec kelvane-run study "$@" --jobs "${SLURM_CPUS_PER_TASK:-1}" \
    --shard "$SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT" --resume "part-$SLURM_ARRAY_TASK_ID.csv"
