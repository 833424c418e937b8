#!/bin/sh
# Starts a one-node Slurm cluster (munge, MariaDB, slurmdbd, slurmctld, slurmd) on loopback, for trying and testing the workflow.
#
# Usage: scripts/one-node-slurm-start.sh STATE_DIR      (as root; stop with one-node-slurm-stop.sh STATE_DIR)
#
# Everything lives in STATE_DIR, which must not exist yet: configuration, keys, database, logs and
# the pid of each daemon (STATE_DIR/pids/). The cluster "corvane" has one node, "localhost", with
# this machine's cores and memory, one partition "corvane" and one account "corvane" that holds the
# calling user. Slurm's commands find it through SLURM_CONF: `. STATE_DIR/env.sh` sets it.
#
# Listeners: munge and MariaDB have no network port at all (sockets in STATE_DIR); slurmd binds to
# 127.0.0.1; slurmctld and slurmdbd (ports 6817 and 6819; 6818 is slurmd's; or from
# CORVANE_SLURM_PORT_BASE on) and the srun in every job bind to every address, which Slurm 22.05
# cannot narrow. So it refuses to start where the network has an address beyond loopback: run it
# inside scripts/one-node-slurm-namespace.sh, as the test does, where lo is the only interface.
#
# The script waits until sinfo shows the node idle, at most CORVANE_SLURM_START_TIMEOUT seconds
# (default 120). If anything fails on the way, it stops what it had started and removes STATE_DIR.
set -eu

name=one-node-slurm-start
here=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "$name: $*" >&2
  exit 1
}
[ $# -eq 1 ] || { echo "usage: $0 STATE_DIR" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || fail "must run as root (slurmd starts jobs as their users)"
for tool in ip munged mungekey mariadb-install-db mariadbd mariadb slurmdbd slurmctld slurmd sacctmgr sinfo; do
  command -v "$tool" >/dev/null 2>&1 || PATH="$PATH:/usr/sbin:/sbin"
  command -v "$tool" >/dev/null 2>&1 || fail "$tool not found: run scripts/install-deps.sh"
done
[ ! -e "$1" ] || fail "$1 exists already; give a folder that does not exist yet"
# Daemons that bind to every address must find none but loopback.
beyond_loopback=$(ip -o address show scope global 2>/dev/null | awk '{print $2 " " $4}' | tr '\n' ' ')
[ -z "$beyond_loopback" ] || fail "this network has addresses beyond loopback ($beyond_loopback); run inside scripts/one-node-slurm-namespace.sh"
mkdir -p "$1"
state=$(cd "$1" && pwd)
# The stop script removes only a folder that carries this mark.
: >"$state/.corvane-one-node-slurm"
trap 'status=$?; if [ $status -ne 0 ]; then echo "$name: failed; logs were in $state/log, stopping what was started" >&2; tail -n 20 "$state"/log/*.log >&2 2>/dev/null || true; sh "$here/one-node-slurm-stop.sh" "$state" >&2 || true; fi' EXIT
chmod 700 "$state"
mkdir -p "$state/pids" "$state/log" "$state/munge" "$state/mysql" "$state/ctld" "$state/spool"
user=$(id -un)
base=${CORVANE_SLURM_PORT_BASE:-6817}
timeout=${CORVANE_SLURM_START_TIMEOUT:-120}
started=$(date +%s)

# Runs daemon TAG (its program's name) in the foreground of a background job and records "PID TAG"
# for the stop script, which checks the name before it signals the pid.
launch() {
  tag=$1
  shift
  "$@" >>"$state/log/$tag.log" 2>&1 &
  echo "$! $tag" >"$state/pids/$tag.pid"
}

# Waits until a command succeeds, failing with the daemon's name when the time is up or it died.
await() {
  tag=$1
  shift
  while ! "$@" >/dev/null 2>&1; do
    pid=$(cut -d' ' -f1 "$state/pids/$tag.pid")
    kill -0 "$pid" 2>/dev/null || fail "$tag exited; see $state/log/$tag.log"
    [ $(($(date +%s) - started)) -lt "$timeout" ] || fail "$tag not ready after ${timeout}s; see $state/log/$tag.log"
    sleep 0.5
  done
}

# munge: a fresh key and a socket of this cluster's own, so a system munged is neither needed nor touched.
mungekey --create --keyfile="$state/munge/munge.key" >/dev/null
chmod 600 "$state/munge/munge.key"
munge_socket="$state/munge/munge.socket"
launch munged munged --foreground --force --socket="$munge_socket" --key-file="$state/munge/munge.key" \
  --pid-file="$state/munge/munged.pid" --log-file="$state/log/munged-own.log" --seed-file="$state/munge/seed"
await munged test -S "$munge_socket"

# MariaDB without networking: only its socket, in the state folder.
db_socket="$state/mysql/mysqld.sock"
mariadb-install-db --no-defaults --user="$user" --datadir="$state/mysql/data" --skip-test-db \
  >"$state/log/mariadb-install.log" 2>&1 || fail "mariadb-install-db failed; see $state/log/mariadb-install.log"
launch mariadbd mariadbd --no-defaults --user="$user" --datadir="$state/mysql/data" --socket="$db_socket" \
  --pid-file="$state/mysql/mariadbd.pid" --skip-networking --log-error="$state/log/mariadbd-own.log"
await mariadbd mariadb --no-defaults --socket="$db_socket" -e "select 1"

cat >"$state/slurm.conf" <<EOF
ClusterName=corvane
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$base
SlurmdPort=$((base + 1))
CommunicationParameters=NoInAddrAny
AuthType=auth/munge
AuthInfo=socket=$munge_socket
SlurmUser=$user
SlurmdUser=root
StateSaveLocation=$state/ctld
SlurmdSpoolDir=$state/spool
SlurmctldPidFile=$state/ctld/slurmctld.pid
SlurmdPidFile=$state/spool/slurmd.pid
SlurmctldLogFile=$state/log/slurmctld-own.log
SlurmdLogFile=$state/log/slurmd-own.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/linux
JobAcctGatherFrequency=30
MpiDefault=none
ReturnToService=2
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
AccountingStorageType=accounting_storage/slurmdbd
AccountingStorageHost=127.0.0.1
AccountingStoragePort=$((base + 2))
# Credentials for slurmdbd come from the munged named here, not from AuthInfo.
AccountingStoragePass=$munge_socket
JobCompType=jobcomp/none
MinJobAge=300
$(slurmd -C | head -n 1 | sed 's/^NodeName=[^ ]*/NodeName=localhost NodeAddr=127.0.0.1/') State=UNKNOWN
PartitionName=corvane Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
cat >"$state/slurmdbd.conf" <<EOF
AuthType=auth/munge
AuthInfo=socket=$munge_socket
DbdHost=localhost
DbdAddr=127.0.0.1
DbdPort=$((base + 2))
SlurmUser=$user
PidFile=$state/ctld/slurmdbd.pid
LogFile=$state/log/slurmdbd-own.log
StorageType=accounting_storage/mysql
StorageHost=localhost
StorageUser=$user
StorageLoc=slurm_acct_db
EOF
chmod 600 "$state/slurmdbd.conf"
printf 'export SLURM_CONF=%s\n' "$state/slurm.conf" >"$state/env.sh"
SLURM_CONF="$state/slurm.conf"
export SLURM_CONF

# slurmdbd reaches MariaDB through the socket named here (its configuration has no socket key).
launch slurmdbd env MYSQL_UNIX_PORT="$db_socket" slurmdbd -D
await slurmdbd sacctmgr -n list cluster
sacctmgr -i add cluster corvane >/dev/null
sacctmgr -i add account corvane Description="one-node test cluster" Organization=corvane >/dev/null
sacctmgr -i add user "$user" Account=corvane DefaultAccount=corvane >/dev/null

launch slurmctld slurmctld -D -i
await slurmctld scontrol ping
launch slurmd slurmd -D -N localhost
node_idle() {
  case $(sinfo -h -N -n localhost -o %t 2>/dev/null) in idle) return 0 ;; *) return 1 ;; esac
}
await slurmd node_idle
echo "$name: cluster corvane is up, node localhost idle ($(($(date +%s) - started))s); run: . $state/env.sh"
