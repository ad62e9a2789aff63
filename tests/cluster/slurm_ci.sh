#!/usr/bin/env bash
# The batch scripts of tools/cluster on a real Slurm: a one-node cluster on this machine (munged,
# slurmctld and slurmd started here, with their configuration, state and logs in a temporary
# folder, and stopped by their PIDs on exit), then
#   (a) a datagen array whose merged file is byte for byte the file of one datagen run;
#   (c) an array with one task cancelled: the merge refuses and names it, resubmitting that index
#       alone completes the same file; a shard damaged afterwards is refused too.
# Usage: tests/cluster/slurm_ci.sh BUILD_DIR   (as root, with slurm-wlm and munge installed)
set -euo pipefail

die() {
  echo "slurm_ci: $*" >&2
  exit 1
}
[ $# -eq 1 ] || die "usage: $0 BUILD_DIR"
build=$(cd "$1" && pwd)
engine=$build/quorvane
[ -x "$engine" ] || die "no engine at $engine"
tools=$(cd "$(dirname "$0")/../../tools/cluster" && pwd)
started=$SECONDS

tmp=$(mktemp -d /tmp/quorvane-slurm.XXXXXX)
chmod 755 "$tmp"
pids=()
stop() {
  status=$?
  # Daemons in reverse order of their start; a job still running is killed with slurmd.
  for ((k = ${#pids[@]} - 1; k >= 0; k--)); do kill "${pids[k]}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ "$status" -ne 0 ]; then
    for log in "$tmp"/log/*; do
      echo "---- $log (last lines)"
      tail -n 30 "$log"
    done
  fi
  rm -rf "$tmp"
  exit "$status"
}
trap stop EXIT

# munged with its own key and socket, so the machine's munge (if any) is neither used nor disturbed.
mkdir -p "$tmp/munge" "$tmp/state" "$tmp/spool" "$tmp/log"
head -c 1024 /dev/urandom >"$tmp/munge/munge.key"
chmod 700 "$tmp/munge"
chmod 400 "$tmp/munge/munge.key"
munged --foreground --force --key-file="$tmp/munge/munge.key" --socket="$tmp/munge/socket" \
  --pid-file="$tmp/munge/munged.pid" --seed-file="$tmp/munge/seed" --log-file="$tmp/log/munged.log" \
  >>"$tmp/log/munged.log" 2>&1 &
pids+=($!)
for ((k = 0; k < 50; k++)); do
  [ -S "$tmp/munge/socket" ] && break
  sleep 0.1
done
[ -S "$tmp/munge/socket" ] || die "munged did not start"

# Free ports for the controller and the node daemon, away from a system Slurm's 6817/6818.
port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
ctld_port=16817
while ! port_free "$ctld_port" || ! port_free $((ctld_port + 1)); do ctld_port=$((ctld_port + 2)); done

host=$(hostname -s)
export SLURM_CONF=$tmp/slurm.conf
# MinJobAge 6: sbatch --wait then polls every 2 s instead of backing off to 8 and 32 s.
cat >"$SLURM_CONF" <<EOF
ClusterName=quorvane-ci
SlurmctldHost=$host
SlurmctldPort=$ctld_port
SlurmdPort=$((ctld_port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$tmp/munge/socket
CredType=cred/munge
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/log/slurmctld.log
SlurmdLogFile=$tmp/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/filetxt
JobCompLoc=$tmp/log/jobs.txt
MailProg=/bin/true
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MinJobAge=6
KillWait=5
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=ci Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -D -f "$SLURM_CONF" >>"$tmp/log/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >>"$tmp/log/slurmd.out" 2>&1 &
pids+=($!)
state=""
for ((k = 0; k < 150; k++)); do
  state=$(sinfo -h -o %T 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 0.2
done
[ "$state" = idle ] || die "the node did not become idle (state '$state')"
echo "slurm_ci: one-node Slurm on $host ($(nproc) CPUs) up after $((SECONDS - started)) s"

# The scripts' settings, as a user exports them.
export QUORVANE=$engine SHARDS=4 GAMES=3 SEED=1 SETTINGS="nodes=400 progress=100"
one_run=$tmp/one-run.txt
"$engine" datagen games=$((SHARDS * GAMES)) seed=1 nodes=400 progress=100 out="$one_run" 2>/dev/null

# submit_datagen RUN [SBATCH OPTIONS...]: the array and its merge, as the README submits them;
# waits for the merge and prints the array's job id.
submit_datagen() {
  local run=$1
  shift
  mkdir -p "$run/logs"
  RUN=$run sbatch --parsable "$@" -o "$run/logs/%x-%a.out" "$tools/datagen.sbatch"
}
merge_datagen() {
  local run=$1 after=$2
  RUN=$run sbatch --wait --quiet --dependency=afterany:"$after" --kill-on-invalid-dep=yes \
    -o "$run/logs/%x.out" "$tools/datagen-merge.sbatch"
}

echo "== (a) datagen: $SHARDS tasks of $GAMES games, merged = one run of $((SHARDS * GAMES)) games"
run=$tmp/a
array=$(submit_datagen "$run" --array=0-$((SHARDS - 1)) --cpus-per-task=1)
merge_datagen "$run" "$array" || die "(a) the merge failed: $(cat "$run/logs/"*merge*.out)"
cmp "$run/data.txt" "$one_run" || die "(a) the merged file differs from one datagen run"
(cd "$run" && sha256sum --quiet -c data.txt.sha256) || die "(a) data.txt.sha256 does not match"
echo "(a) ok: $(wc -l <"$run/data.txt") lines, $(cut -d' ' -f1 "$run/data.txt.sha256")"

echo "== (c) a cancelled task: the merge refuses, the one index resubmitted completes the file"
run=$tmp/c
# Held until the task is cancelled, so that it is cancelled before it ran, on any machine speed.
array=$(submit_datagen "$run" --hold --array=0-$((SHARDS - 1)))
scancel "${array}_2"
scontrol release "$array"
if merge_datagen "$run" "$array"; then die "(c) the merge accepted a set without shard 2"; fi
grep -q "missing shards: 2$" "$run/logs/quorvane-datagen-merge.out" ||
  die "(c) the merge's refusal does not name shard 2: $(cat "$run/logs/quorvane-datagen-merge.out")"
[ ! -e "$run/data.txt" ] || die "(c) the refused merge left $run/data.txt"
echo "(c) refused: $(tail -n 1 "$run/logs/quorvane-datagen-merge.out")"
array=$(submit_datagen "$run" --array=2)
merge_datagen "$run" "$array" || die "(c) the merge after resubmitting shard 2 failed"
cmp "$run/data.txt" "$one_run" || die "(c) the completed file differs from one datagen run"
echo "(c) ok: shard 2 resubmitted alone, the merged file equals one run"
# A shard changed after it was written (a full disk, a copy gone wrong) is refused as well.
echo "1" >>"$run/shards/shard-00001.txt"
if RUN=$run OUT=$run/again.txt bash "$tools/datagen-merge.sbatch" 2>"$run/again.err"; then
  die "(c) the merge accepted a damaged shard"
fi
grep -q "damaged shards: 1$" "$run/again.err" || die "(c) the damaged shard 1 was not named: $(cat "$run/again.err")"
[ ! -e "$run/again.txt" ] || die "(c) the refused merge wrote $run/again.txt"

echo "slurm_ci: all checks passed in $((SECONDS - started)) s"
