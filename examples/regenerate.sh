#!/usr/bin/env bash
# Remakes the examples' data and expected outputs with the programs in build/: the phase-shift and
# cross-section files of cu-k, two-types and planar (korva-psgen on each folder's .psgen input
# and deck), the synthetic experiment of two-types (make_exp.py on a run of its deck), then the
# expected standard output and plot files of those three through the end-to-end test, and the
# spectrum korva-xas makes of the cu-k run (tests/tools/data/xas). small keeps
# its Thomas-Fermi data; its expected files would move only in their CPU-time figures.
# Inspect the changes (git diff) before committing them.
#
#   bash examples/regenerate.sh     # after bash scripts/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
for d in cu-k:cu two-types:ft planar:pl; do
  (cd "examples/${d%%:*}" && "$root/build/tools/psgen/korva-psgen" "${d##*:}.psgen" >/dev/null)
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r examples/two-types/. "$tmp"
(cd "$tmp" && "$root/build/korva" <deck.in >/dev/null && python3 make_exp.py)
cp "$tmp/ft.exp" examples/two-types/ft.exp
tests=Examples/Example.WritesItsExpectedOutputAndPlots
KORVA_UPDATE_EXPECTED=1 build/korva_tests \
  --gtest_filter="$tests/cu_k:$tests/two_types:$tests/planar" >/dev/null
# korva-xas's spectrum of the cu-k run and its summary, stored beside its test.
KORVA_UPDATE_EXPECTED=1 build/korva_tests \
  --gtest_filter="xas_run.the_copper_example_gives_its_stored_spectrum" >/dev/null
git status --short examples tests/tools/data/xas
