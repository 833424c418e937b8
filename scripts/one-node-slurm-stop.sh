#!/bin/sh
# Stops the one-node Slurm cluster that one-node-slurm-start.sh started in STATE_DIR, and removes STATE_DIR.
#
# Usage: scripts/one-node-slurm-stop.sh STATE_DIR
#
# Only the daemons listed in STATE_DIR/pids/ are signalled, each by its pid and only while that pid
# still runs the program recorded for it: jobs still in the cluster are cancelled first, then
# slurmd, slurmctld, slurmdbd, MariaDB and munged get SIGTERM, and SIGKILL after 20 seconds.
# Safe to run twice, and on a half-started cluster.
set -u

name=one-node-slurm-stop
[ $# -eq 1 ] || { echo "usage: $0 STATE_DIR" >&2; exit 2; }
state=$1
[ -d "$state" ] || exit 0
if [ ! -e "$state/.corvane-one-node-slurm" ]; then
  echo "$name: $state was not made by one-node-slurm-start.sh; leaving it alone" >&2
  exit 1
fi
PATH="$PATH:/usr/sbin:/sbin"

# True while PID runs PROGRAM; a zombie (left to a namespace's first process to reap) is no longer running.
runs() {
  [ -r "/proc/$1/stat" ] || return 1
  [ "$(cat "/proc/$1/comm" 2>/dev/null)" = "$2" ] || return 1
  stat_state=$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)
  [ "$stat_state" != Z ] && [ "$stat_state" != X ]
}

if [ -r "$state/pids/slurmctld.pid" ] && [ -r "$state/slurm.conf" ]; then
  jobs=$(SLURM_CONF="$state/slurm.conf" timeout 20 squeue -h -o %i 2>/dev/null)
  [ -z "$jobs" ] || SLURM_CONF="$state/slurm.conf" timeout 20 scancel --quiet $jobs 2>/dev/null
fi

status=0
for tag in slurmd slurmctld slurmdbd mariadbd munged; do
  file="$state/pids/$tag.pid"
  [ -r "$file" ] || continue
  read -r pid program <"$file" || continue
  if runs "$pid" "$program"; then
    kill -TERM "$pid" 2>/dev/null
    waited=0
    while runs "$pid" "$program" && [ $waited -lt 40 ]; do
      sleep 0.5
      waited=$((waited + 1))
    done
    if runs "$pid" "$program"; then
      echo "$name: $program ($pid) did not stop on SIGTERM; killing it" >&2
      kill -KILL "$pid" 2>/dev/null
      sleep 0.5
    fi
  fi
  if runs "$pid" "$program"; then
    echo "$name: $program ($pid) is still running" >&2
    status=1
  else
    rm -f "$file"
  fi
done
[ $status -eq 0 ] && rm -rf "$state"
exit $status
