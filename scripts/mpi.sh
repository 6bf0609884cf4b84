#!/usr/bin/env bash
# The MPI build in build-mpi/ and its tests: installs Open MPI from Debian (libopenmpi-dev,
# openmpi-bin) if missing, builds korva with KORVA_MPI=ON and korva_mpi_tests, and runs them:
# every example under mpirun on 1, 2 and 3 ranks against the serial bytes, and runs that end
# early (on rank 1, in the set-up, in the post-processing) on 2 and 3 ranks.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh libopenmpi-dev openmpi-bin
cmake -S . -B build-mpi -DCMAKE_BUILD_TYPE=Release -DKORVA_MPI=ON -DKORVA_BUILD_TOOLS=OFF > /dev/null
cmake --build build-mpi -j"$(nproc)" --target korva korva_mpi_tests
ctest --test-dir build-mpi --output-on-failure -R '^MpiRun\.'
