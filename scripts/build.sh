#!/usr/bin/env bash
# Configures and builds the program, the tools and the test binary in build/. The Debian
# packages are installed (scripts/setup.sh) only when the configure step cannot find them.
set -euo pipefail
cd "$(dirname "$0")/.."
configure() { cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null; }
if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || ! configure "$@" 2>/dev/null; then
  bash scripts/setup.sh
  configure "$@"
fi
cmake --build build -j"$(nproc)"
