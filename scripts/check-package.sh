#!/usr/bin/env bash
# Builds the Debian package in a build folder, installs it with apt-get, checks `corvane --version`,
# `man corvane` and the example scan from PATH, and removes it again with anything it pulled in.
# Needs root on a Debian system; elsewhere it exits 77, which ctest counts as skipped.
# Usage: bash scripts/check-package.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)

if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
  echo "check-package: needs root and apt-get (a Debian machine); skipped"
  exit 77
fi
# One check at a time on a machine: installs and removals would trip over each other.
exec 9>/var/lock/corvane-package-check.lock
flock 9
if dpkg-query -W -f='${Status}' corvane 2>/dev/null | grep -q "install ok installed"; then
  echo "check-package: a corvane package is installed already; left alone, check skipped"
  exit 77
fi

work=$(mktemp -d)
packages_before="$work/packages-before"
dpkg-query -W -f='${Package}\n' | sort > "$packages_before"
remove_again() {
  # Everything installed since the check began: the package and whatever it pulled in.
  dpkg-query -W -f='${Package} ${Status}\n' | awk '$4 == "installed" { print $1 }' | sort |
    comm -13 "$packages_before" - > "$work/added" || true
  if [ -s "$work/added" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=600 $(cat "$work/added") >/dev/null
  fi
  rm -rf "$work"
}
trap remove_again EXIT

(cd "$build_dir" && rm -f corvane_*.deb && cpack -G DEB >/dev/null)
package=$(ls "$build_dir"/corvane_*.deb)
echo "check-package: built $package"
# Minimal images exclude /usr/share/man from dpkg; the check is about our page, so it is let in.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
  -o DPkg::Options::=--path-include=/usr/share/man/man1/corvane* "$package" >/dev/null

cd "$work"
fail() { echo "check-package: $*" >&2; exit 1; }
[ "$(command -v corvane)" = /usr/bin/corvane ] || fail "corvane is not on PATH as /usr/bin/corvane"
version=$(corvane --version)
echo "check-package: corvane --version: $version"
case "$version" in "corvane "[0-9]*.[0-9]*.[0-9]*) ;; *) fail "unexpected version line: $version" ;; esac
MANWIDTH=100 man corvane > manual.txt 2>&1 || fail "man corvane failed: $(cat manual.txt)"
grep -q "usage: corvane -hap GENOTYPES -legend LEGEND -freq FREQUENCY -out OUTPUT" manual.txt ||
  fail "man corvane does not show the usage"
echo "check-package: man corvane shows $(wc -l < manual.txt) lines"
examples=/usr/share/corvane/examples
corvane -hap $examples/chr21.hap.gz -legend $examples/chr21.legend.gz -freq 0.2 -out chr21.scan.tsv
printf 'chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp\n21\t38347375\t38416034\t0.0604019\t68659\t12\n' > expected
head -n 2 chr21.scan.tsv | cmp -s - expected || fail "the example scan does not begin as expected"
[ "$(wc -l < chr21.scan.tsv)" = 103 ] || fail "the example scan has $(wc -l < chr21.scan.tsv) lines, not 103"
corvane-plot chr21.scan.tsv -o chr21.scan.png
[ -s chr21.scan.png ] || fail "corvane-plot wrote no figure"
echo "check-package: the example scan from PATH gives 102 regions and a figure; removing the package again"
