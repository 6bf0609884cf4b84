#!/usr/bin/env bash
# Builds the program and runs the default example deck in examples/cu-k/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd examples/cu-k
../../build/korva < deck.in
