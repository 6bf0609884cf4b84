#!/usr/bin/env bash
# Builds the benchmarks and runs the performance set, in one run on one machine: the bandwidths
# and the pass of every kernel (solver_bench); the whole run of the large deck as it stands and
# with EPS 0 (20 levels at every point; on an AVX-512 machine also with the AVX2 kernels); the
# assembly-heavy few-levels deck; LAPACK's cgesv on the matrices of both decks with the same
# right-hand sides and threads, set against the program's time for the same point.
#   bash bench/run.sh [threads]
set -euo pipefail
cd "$(dirname "$0")/.."
threads="${1:-$(nproc)}"
source bench/lapack.sh
install_lapack
bash scripts/setup.sh
cmake -S . -B build-bench -DKORVA_BENCH=ON > /dev/null
cmake --build build-bench -j"$(nproc)" --target solver_bench run_bench lapack_bench > /dev/null
export OMP_NUM_THREADS="$threads"
tmp="${TMPDIR:-/tmp}/korva-bench"
mkdir -p "$tmp"
lscpu | sed -n 's/^Model name: *//p' | sed 's/^/cpu: /'
echo "== solver_bench"
./build-bench/solver_bench "$threads"
echo "== run_bench: large deck"
./build-bench/run_bench --threads "$threads" --dump 2 "$tmp/large.bin"
echo "== run_bench: large deck with EPS 0"
./build-bench/run_bench --threads "$threads" --eps 0 --point 2 "$tmp/large-eps0.point"
if grep -qw avx512f /proc/cpuinfo; then
  echo "== run_bench: large deck with EPS 0, AVX2 kernels (KORVA_KERNEL=avx2)"
  KORVA_KERNEL=avx2 ./build-bench/run_bench --threads "$threads" --eps 0 \
    --point 2 "$tmp/large-eps0-avx2.point"
fi
echo "== run_bench: few-levels deck"
./build-bench/run_bench --threads "$threads" --dump 2 "$tmp/few.bin" bench/few-levels
choose_openblas_kernels ./build-bench/lapack_bench
echo "== lapack_bench: large deck, point 2"
points=(--compare "$tmp/large.bin.point" --compare "$tmp/large-eps0.point")
[ -f "$tmp/large-eps0-avx2.point" ] && points+=(--compare "$tmp/large-eps0-avx2.point")
./build-bench/lapack_bench "$tmp/large.bin" "$threads" "${points[@]}"
echo "== lapack_bench: few-levels deck, point 2"
./build-bench/lapack_bench "$tmp/few.bin" "$threads" --compare "$tmp/few.bin.point"
rm -f "$tmp/large.bin" "$tmp/few.bin" "$tmp"/*.point
