#!/bin/sh
# Installs everything corvane needs to build, test, convert VCF/BCF, plot, run workflows and check
# its Debian package, whose manual pages man-db shows (Debian; run as root). Safe to run again: apt-get skips what is already there.
set -eu
export DEBIAN_FRONTEND=noninteractive
packages="g++ cmake make pkg-config libeigen3-dev libgtest-dev zlib1g-dev libhts-dev \
bcftools tabix python3 python3-matplotlib snakemake clang libclang-rt-14-dev time man-db \
slurmctld slurmd slurm-client slurmdbd munge mariadb-server iproute2"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  # munge, MariaDB and Slurm are started only by the workflow's Slurm test, in a folder of its own:
  # where nothing forbids it yet, keep their packages from starting system-wide services.
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod 755 "$policy"
    trap 'rm -f "$policy"' EXIT
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
