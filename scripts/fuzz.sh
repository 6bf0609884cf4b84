#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang in build-fuzz/ and runs each for
# FUZZ_SECONDS (default 60) on a scratch copy of its seed corpus. Exits non-zero on any crash,
# timeout, leak, out-of-memory or sanitizer report; the reproducing inputs and logs are then
# kept in the scratch directory it names. FUZZ_TARGETS (default: all) picks targets by name.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-60}
targets=(${FUZZ_TARGETS:-listread phase cross experiment deck})

bash scripts/setup.sh clang-14 libclang-rt-14-dev

build_start=$(date +%s)
CXX=clang++-14 cmake -S . -B build-fuzz -DKORVA_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCMAKE_DISABLE_FIND_PACKAGE_OpenMP=ON >/dev/null
cmake --build build-fuzz -j2 --target $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null
echo "fuzz build: $(( $(date +%s) - build_start )) s"

work=$(mktemp -d "${TMPDIR:-/tmp}/korva-fuzz.XXXXXX")
failed=0
cleanup() { [ "$failed" -eq 0 ] && rm -rf "$work"; }
trap cleanup EXIT

# Seed corpora, written to the scratch directory only. The first byte of a listread, phase or
# cross input picks the read sequence or lcore (byte % 3), so each file is seeded with a few.
seed() {  # seed TARGET FILE BYTE...
  local t=$1 f=$2 b
  shift 2
  mkdir -p "$work/corpus/$t"
  for b in "$@"; do
    { printf "\\$(printf '%03o' "$b")"; cat "$f"; } >"$work/corpus/$t/$b-$(echo "$f" | tr '/' '_')"
    # A short version too: mutations of a whole table are slow.
    { printf "\\$(printf '%03o' "$b")"; head -n 12 "$f"; } >"$work/corpus/$t/$b-short-$(echo "$f" | tr '/' '_')"
  done
}
mkdir -p "$work/corpus/experiment" "$work/corpus/deck"
for f in examples/*/deck.in tests/fuzz/seeds/deck/*.in; do seed listread "$f" 0 1 2 3 4 5 6; done
for f in examples/*/*.ps examples/*/*.xs examples/*/*.exp tests/fuzz/data/*.ps; do seed listread "$f" 1 5; done
for f in examples/*/*.ps tests/fuzz/data/*.ps; do seed phase "$f" 0 1; done
for f in examples/*/*.xs tests/fuzz/data/*.xs; do seed cross "$f" 0 1; done
cp examples/*/*.exp tests/fuzz/data/*.exp "$work/corpus/experiment/"
cp tests/fuzz/seeds/deck/*.in "$work/corpus/deck/"
for t in "${targets[@]}"; do
  [ -d "tests/fuzz/findings/$t" ] && cp tests/fuzz/findings/$t/* "$work/corpus/$t/"
done

summary=()
for t in "${targets[@]}"; do
  mkdir -p "$work/artifacts/$t"
  log="$work/$t.log"
  start=$(date +%s)
  rc=0
  TMPDIR="$work" "build-fuzz/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -dict="$root/tests/fuzz/korva.dict" \
    -artifact_prefix="$work/artifacts/$t/" "$work/corpus/$t" >"$log" 2>&1 || rc=$?
  elapsed=$(( $(date +%s) - start ))
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  status=ok
  if [ "$rc" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: ' "$log"; then
    status="FAILED (exit $rc)"
    failed=1
    echo "---- fuzz_$t: last lines of $log"
    tail -n 40 "$log"
    ls "$work/artifacts/$t"
  fi
  summary+=("$(printf 'fuzz_%-11s %4d s  %10s executions  %s' "$t" "$elapsed" "${execs:-?}" "$status")")
done

echo "---- fuzz summary (${seconds} s per target)"
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
  echo "fuzzing found problems: inputs and logs kept in $work"
  exit 1
fi
