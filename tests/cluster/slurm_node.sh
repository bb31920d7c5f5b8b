# A one-node Slurm cluster in a scratch folder, for the cluster test and the
# cluster benchmark: its own munged (key and socket in the folder), slurmctld
# and slurmd on 127.0.0.1 with free ports, 2 CPUs, the node's real memory, no
# accounting.  Sourced; needs root.  Every wait is bounded, and node_stop
# ends exactly the daemons node_start started, by their PIDs.
#
#   node_start DIR   # DIR: an empty scratch folder; exports SLURM_CONF
#   node_stop        # also called on exit

NODE_PIDS=()
NODE_DIR=""

node_log() { echo "cluster: $*" >&2; }

# A TCP port on 127.0.0.1 that nothing listens on, from a random start.
free_port() {
  local p
  for ((p = 20000 + RANDOM % 20000; p < 65000; p++)); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"
      return
    fi
  done
  return 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < end)) || return 1
    sleep 0.5
  done
}

node_start() {
  NODE_DIR=$1
  local d=$NODE_DIR
  mkdir -p "$d/state" "$d/spool" "$d/munge"
  chmod 700 "$d/munge"
  head -c 1024 /dev/urandom >"$d/munge/munge.key"
  chmod 400 "$d/munge/munge.key"
  /usr/sbin/munged -F --force --key-file="$d/munge/munge.key" --socket="$d/munge/munge.socket" \
    --pid-file="$d/munge/munged.pid" --seed-file="$d/munge/munge.seed" --log-file="$d/munge/munged.log" \
    >"$d/munged.out" 2>&1 &
  NODE_PIDS+=($!)
  if ! wait_for 20 test -S "$d/munge/munge.socket"; then
    node_log "munged did not start:"; cat "$d/munge/munged.log" "$d/munged.out" >&2 2>/dev/null
    return 1
  fi

  local host mem ctl_port node_port
  host=$(hostname -s)
  # The node's real memory (MB), as slurmd itself measures it.
  mem=$(/usr/sbin/slurmd -C | sed -n 's/.*RealMemory=\([0-9]*\).*/\1/p')
  ctl_port=$(free_port) && node_port=$(free_port) || { node_log "no free port"; return 1; }
  [ "$node_port" != "$ctl_port" ] || node_port=$((ctl_port + 1))
  cat >"$d/slurm.conf" <<CONF
ClusterName=kelvane
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctl_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$d/munge/munge.socket
StateSaveLocation=$d/state
SlurmdSpoolDir=$d/spool
SlurmctldPidFile=$d/slurmctld.pid
SlurmdPidFile=$d/slurmd.pid
SlurmctldLogFile=$d/slurmctld.log
SlurmdLogFile=$d/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
SlurmdParameters=config_overrides
KillWait=10
# Finished jobs stay listed 6 s: sbatch --wait then asks every 2 s.
MinJobAge=6
NodeName=$host NodeAddr=127.0.0.1 CPUs=2 RealMemory=$mem State=UNKNOWN
PartitionName=kelvane Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF="$d/slurm.conf"
  /usr/sbin/slurmctld -D -i -f "$SLURM_CONF" >"$d/slurmctld.out" 2>&1 &
  NODE_PIDS+=($!)
  /usr/sbin/slurmd -D -f "$SLURM_CONF" -N "$host" >"$d/slurmd.out" 2>&1 &
  NODE_PIDS+=($!)
  if ! wait_for 60 sh -c 'sinfo -h -o %T | grep -qx idle'; then
    node_log "the node did not come up:"
    tail -n 20 "$d/slurmctld.log" "$d/slurmd.log" "$d/slurmctld.out" "$d/slurmd.out" >&2 2>/dev/null
    return 1
  fi
  node_log "slurmctld, slurmd and munged up (PIDs ${NODE_PIDS[*]}), node $host: 2 CPUs, ${mem} MB"
}

# Waits up to $2 seconds until job $1 (all its array tasks) is no longer listed.
wait_gone() {
  local end=$((SECONDS + $2))
  while [ -n "$(squeue -h -r -j "$1" -o %i 2>/dev/null)" ]; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

node_stop() {
  local pid
  # Jobs still running (a test stopped half-way) end through Slurm itself.
  if [ -n "${SLURM_CONF:-}" ] && [ ${#NODE_PIDS[@]} -gt 0 ]; then
    timeout 10 scancel --partition=kelvane >/dev/null 2>&1 || true
    wait_for 30 sh -c '[ -z "$(squeue -h -o %i 2>/dev/null)" ]' || node_log "jobs still listed at the stop"
  fi
  # The daemons in the reverse order of their start: slurmd, slurmctld, munged.
  for ((i = ${#NODE_PIDS[@]} - 1; i >= 0; i--)); do
    pid=${NODE_PIDS[i]}
    kill -TERM "$pid" 2>/dev/null || continue
    for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  NODE_PIDS=()
  [ -n "$NODE_DIR" ] && rm -rf "$NODE_DIR"
  NODE_DIR=""
}
