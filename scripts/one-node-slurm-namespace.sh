#!/bin/sh
# Runs a command in network and process namespaces of its own, where the one-node Slurm cluster can listen only on loopback.
#
# Usage: scripts/one-node-slurm-namespace.sh COMMAND [ARGUMENT...]      (as root), e.g. ... bash
#
# slurmctld, slurmdbd and the srun inside every job listen on all addresses; in this network
# namespace the only interface is lo (127.0.0.1, plus 127.0.0.2, without which glibc reports no IPv4
# address to programs that ask with AI_ADDRCONFIG, as slurmdbd does), so nothing can be reached from
# outside and ports cannot clash with another cluster on the machine. COMMAND is the first process
# of a new process namespace: when it ends, or this script is killed, the kernel ends every process
# left in it, so no daemon outlives the command whatever happens to the stop script.
set -eu
[ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARGUMENT...]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "one-node-slurm-namespace: must run as root" >&2; exit 1; }
PATH="$PATH:/usr/sbin:/sbin"
exec unshare --net --pid --mount-proc --fork --kill-child \
  sh -c 'ip link set lo up && ip addr add 127.0.0.2/8 dev lo && exec "$@"' one-node-slurm-namespace "$@"
