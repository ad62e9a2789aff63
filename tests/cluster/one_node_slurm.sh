#!/usr/bin/env bash
# A one-node Slurm cluster on this machine for as long as a command runs: munged, slurmctld and
# slurmd are started here with their own key, configuration, state and logs in a temporary folder
# (the machine's /etc/slurm and munge are left alone), the command runs with SLURM_CONF pointing at
# it, and the daemons are stopped by their PIDs when it ends, also on failure. Needs root and
# Debian's slurm-wlm and munge. Usage: tests/cluster/one_node_slurm.sh COMMAND [ARGUMENTS...]
set -euo pipefail

die() {
  echo "one_node_slurm: $*" >&2
  exit 1
}
[ $# -ge 1 ] || die "usage: $0 COMMAND [ARGUMENTS...]"
PATH=$PATH:/usr/sbin:/sbin  # the daemons, also for a caller whose PATH lacks them
for daemon in munged slurmctld slurmd; do
  command -v "$daemon" >/dev/null || die "no $daemon: install Debian's slurm-wlm and munge"
done
started=$SECONDS

tmp=$(mktemp -d /tmp/quorvane-slurm.XXXXXX)
chmod 755 "$tmp"
pids=()
# shellcheck disable=SC2317  # run by the EXIT trap
stop() {
  status=$?
  # Jobs still there (after a failure) are cancelled first: their steps would outlive slurmd.
  if [ -n "${SLURM_CONF:-}" ] && jobs=$(squeue -h -o %i 2>/dev/null) && [ -n "$jobs" ]; then
    # shellcheck disable=SC2086  # one job id per word
    scancel $jobs 2>/dev/null || true
    for ((k = 0; k < 100; k++)); do
      [ -z "$(squeue -h -o %i 2>/dev/null)" ] && break
      sleep 0.2
    done
  fi
  # Then the daemons, in reverse order of their start.
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
# Addresses are 127.0.0.1, so the host name need not resolve. MinJobAge 6: sbatch --wait then
# polls every 2 s instead of backing off to 8 and 32 s.
cat >"$SLURM_CONF" <<EOF
ClusterName=quorvane-ci
SlurmctldHost=$host(127.0.0.1)
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
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
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
echo "one_node_slurm: one-node Slurm on $host ($(nproc) CPUs) up after $((SECONDS - started)) s"

status=0
"$@" || status=$?
exit "$status"
