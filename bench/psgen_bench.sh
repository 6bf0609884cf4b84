#!/usr/bin/env bash
# Times korva-psgen: the self-consistent atoms of a few elements (non-relativistic and
# scalar-relativistic), then the phase shifts and cross sections of a 99-atom copper cluster with
# 150 energy points and lmax 20 (two phase sets: the absorber with its core hole, the rest), on
# all cores and on one, then with the Dirac-Hara exchange and with the near-edge grid. Prints
# wall-clock and CPU (user) seconds of each run.
#
#   bash bench/psgen_bench.sh            # builds korva-psgen in build/ if it is missing
#   PSGEN=path/to/korva-psgen bash bench/psgen_bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
PSGEN=${PSGEN:-$PWD/build/tools/psgen/korva-psgen}
if [ ! -x "$PSGEN" ]; then
  bash scripts/build.sh >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
TIMEFORMAT='%R s wall, %U s CPU'

echo "== single atoms (korva-psgen --atom)"
for el in He Cu Kr U; do
  for rel in "" --scalar-relativistic; do
    printf '%-3s %-22s ' "$el" "${rel:-non-relativistic}"
    { time "$PSGEN" --atom "$el" $rel >/dev/null; } 2>&1
  done
done

# The 99 fcc sites (a = 3.61 A) nearest the absorber, ties broken by the lattice indices so that
# the cluster is always the same; the absorber alone is phase set 1.
{
  printf 'cu.ps\ncu.xs\nbig\n99\n'
  for i in $(seq -4 4); do for j in $(seq -4 4); do for k in $(seq -4 4); do
    if (( (i + j + k) % 2 == 0 )); then echo "$((i * i + j * j + k * k)) $i $j $k"; fi
  done; done; done | sort -k1,1n -k2,2n -k3,3n -k4,4n | head -99 |
    awk '{ printf "%9.4f %9.4f %9.4f %d\n", 1.805 * $2, 1.805 * $3, 1.805 * $4, NR == 1 ? 1 : 2 }'
  printf '0\n0.002 3 0.0001 150\n2 1 0 8979 1\n2\n3 11 0.05\n0\n'
} >deck.in
cat >cu.psgen <<'IN'
title Cu K edge, 99 atoms (benchmark)
type Cu
type Cu
deck deck.in
energies 0.3 36.0 150 k
lmax 20
edge K
edge_ev 8979
phase_file cu.ps
xs_file cu.xs
IN

echo "== 99-atom copper cluster, 150 energies, lmax 20"
printf 'all cores (%s)   ' "$(nproc)"
{ time "$PSGEN" cu.psgen >psgen.log; } 2>&1
printf 'one thread        '
{ time OMP_NUM_THREADS=1 "$PSGEN" cu.psgen >/dev/null; } 2>&1
# The exchange before the self-energy, and the near-edge grid the structure tool writes.
sed 's/^lmax 20/lmax 20\nexchange dirac-hara/' cu.psgen >dh.psgen
printf 'dirac-hara        '
{ time "$PSGEN" dh.psgen >/dev/null; } 2>&1
sed 's/^energies .*/grid near-edge 5 100 150/' cu.psgen >ne.psgen
printf 'near-edge grid    '
{ time "$PSGEN" ne.psgen >/dev/null; } 2>&1
grep -E 'set [12]:|l cut|Fermi level' psgen.log
