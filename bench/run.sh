#!/usr/bin/env bash
# Builds the benchmarks and runs the performance set: the solver micro-benchmark, the whole run
# of the large deck (streaming and plain), and LAPACK's cgesv on the same matrix.
#   bash bench/run.sh [threads]
set -euo pipefail
cd "$(dirname "$0")/.."
threads="${1:-$(nproc)}"
missing=()
for p in libopenblas-dev liblapacke-dev; do
  dpkg -s "$p" > /dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
bash scripts/setup.sh
cmake -S . -B build-bench -DKORVA_BENCH=ON > /dev/null
cmake --build build-bench -j"$(nproc)" > /dev/null
export OMP_NUM_THREADS="$threads"
./build-bench/solver_bench "$threads"
./build-bench/run_bench --plain --threads "$threads" --dump 2 /tmp/korva-bench-matrix.bin
# OpenBLAS with its own kernel choice for this command only.
env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE ./build-bench/lapack_bench /tmp/korva-bench-matrix.bin "$threads"
