#!/usr/bin/env bash
# Builds the program alone with an atom capacity of 120 (KORVA_NAT) in its own build tree and
# runs a 110-atom deck to its end; the standard build refuses the same deck.
#   capacity_build.sh SOURCE_DIR WORK_DIR STANDARD_KORVA
set -euo pipefail
src=$1 work=$2 standard=$3
mkdir -p "$work"
cmake -S "$src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DKORVA_NAT=120 \
  -DKORVA_BUILD_TESTS=OFF -DKORVA_BUILD_TOOLS=OFF >/dev/null
cmake --build "$work/build" -j2 --target korva >/dev/null

# 110 atoms of a simple cubic grid, 2.5 A apart, the copper phase set of the cu-k example; a
# large TOLL_lmax keeps every atom at l <= 2, and NEP 6 the run short.
run=$work/run
rm -rf "$run" && mkdir -p "$run"
cp "$src/tests/data/cu/cu.ps" "$src/tests/data/cu/cu.xs" "$run/"
{
  printf 'cu.ps\ncu.xs\ncap\n110\n'
  for i in $(seq 0 109); do
    printf '%s %s %s 1\n' "$(( (i % 5) * 5 ))e-1" "$(( (i / 5 % 5) * 5 ))e-1" "$(( i / 25 * 5 ))e-1"
  done
  printf '0\n0.5 2 0.0001 6\n2 0 0 8979 1\n2\n0 5 0.05\n0\n'
} >"$run/deck.in"

cd "$run"
"$work/build/korva" <deck.in >stdout.txt
grep -Eq -- '-> number of atoms: +120$' stdout.txt
grep -q 'FOURIER TRANSFORM PLOT DONE' stdout.txt
for f in cap_kor.dat cap_kor.chi cap_kor.fou; do test -s "$f"; done
if "$standard" <deck.in >standard.txt; then
  echo "the standard build ran a 110-atom deck" >&2
  exit 1
fi
grep -Eq 'DIMENSION ERROR SET NAT_ += +110 +AT LEAST' standard.txt
echo "a build with 120 atoms ran the 110-atom deck; the standard build refused it"
