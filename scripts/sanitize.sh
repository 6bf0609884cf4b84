#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/, runs the
# whole test suite there and every example deck, and fails on any sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVA_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$(nproc)"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600

# Every example deck, run where it lives (into a copy, so the checkout stays clean).
status=0
for deck in examples/*/deck.in; do
  ex=$(dirname "$deck")
  work=$(mktemp -d)
  cp -r "$ex"/. "$work"/
  set +e
  (cd "$work" && "$OLDPWD/build-asan/korva" < deck.in > stdout.txt 2> stderr.txt)
  rc=$?
  set -e
  if [ $rc -ne 0 ] || grep -qE "AddressSanitizer|LeakSanitizer|runtime error" "$work/stderr.txt"; then
    echo "sanitizer: $ex failed (exit $rc)"
    cat "$work/stderr.txt"
    status=1
  else
    echo "sanitizer: $ex clean"
  fi
  rm -rf "$work"
done
exit $status
