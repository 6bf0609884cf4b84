#!/usr/bin/env bash
# The copper K edge from the structure to the figures of merit against the measured foil:
# cu_fcc.cif -> korva-cluster --radius 6 (--deck --psgen) -> korva-psgen -> korva -> compare.py,
# in a scratch folder. Prints compare.py's report for the spectrum as computed, cut at the Fermi
# level of the data files' header, and cut and convolved with a Gaussian of FWHM eV.
#
#   bash bench/xanes/run_cu.sh [FOLDER]     # FOLDER: kept for inspection (default: a temporary one)
#
# Environment (the defaults are the programs' own):
#   BUILD=build          the build folder with korva, korva-cluster and korva-psgen
#   GRID=near-edge       or exafs (korva-cluster --grid)
#   PSGEN_LINES=""       keyword lines appended to the psgen input ("exchange dirac-hara",
#                        "energies 0.02 7 150" replaces the grid line, "fermi friedel",
#                        "fermi electron-gas", ...)
#   FWHM=1               the Gaussian of the last comparison, eV
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$here/build}
[[ $build = /* ]] || build=$here/$build
measured=/work/shared/data/measured/cu_metal_10K.xdi
[ -f "$measured" ] || measured=${MEASURED:?set MEASURED to the copper foil XDI file}
for exe in korva tools/cluster/korva-cluster tools/psgen/korva-psgen; do
  [ -x "$build/$exe" ] || { echo "run_cu.sh: $build/$exe missing (build it first)" >&2; exit 1; }
done
if [ $# -ge 1 ]; then
  work=$1
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
cd "$work"
cp "$here/tests/tools/data/cluster/cu_fcc.cif" .

"$build/tools/cluster/korva-cluster" cu_fcc.cif --absorber Cu1 --radius 6 --deck deck.in \
  --psgen cu.psgen --grid "${GRID:-near-edge}" >block.txt 2>cluster.txt
if [ -n "${PSGEN_LINES:-}" ]; then
  # An energies line replaces the grid line korva-cluster wrote.
  if grep -q '^energies' <<<"$PSGEN_LINES"; then sed -i '/^grid /d; /^energies /d' cu.psgen; fi
  printf '%s\n' "$PSGEN_LINES" >>cu.psgen
fi
TIMEFORMAT='%R s wall, %U s CPU'
{ time "$build/tools/psgen/korva-psgen" cu.psgen >psgen.txt; } 2>psgen_time.txt
{ time "$build/korva" <deck.in >korva.out; } 2>korva_time.txt
head -1 cluster.txt
grep -E 'exchange|Fermi level|energies' psgen.txt | head -3
echo "korva-psgen: $(cat psgen_time.txt); korva: $(cat korva_time.txt)"

compare=(/usr/bin/python3 "$here/bench/xanes/compare.py" "$measured" cuk_kor.sig)
echo "== as computed"
"${compare[@]}" | tail -n +3
echo "== cut at the Fermi level"
"${compare[@]}" --fermi cu_fcc.ps | tail -n +3
echo "== cut, and a Gaussian of ${FWHM:-1} eV"
"${compare[@]}" --fermi cu_fcc.ps --fwhm "${FWHM:-1}" | tail -n +3
