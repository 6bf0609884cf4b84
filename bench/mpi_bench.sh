#!/usr/bin/env bash
# The large deck (bench/large, 16 points at matrix order 3916 to 4539) over the members of a team
# of one thread each, in one run: the serial run's phases (run_bench: what only rank 0 does, the
# set-up before the points and the post-processing after them), a team of RANKS threads in one
# process against the run alone (team_bench), then korva alone and under mpirun on 1 and on
# RANKS ranks (default 2): wall times, speed-up, efficiency, and a check that every run wrote
# the same bytes.
# Each configuration runs REPEAT times (default 3); the shortest time counts.
#   [REPEAT=n] bash bench/mpi_bench.sh [RANKS]
set -euo pipefail
cd "$(dirname "$0")/.."
ranks="${1:-2}"
repeat="${REPEAT:-3}"
bash scripts/setup.sh libopenmpi-dev openmpi-bin
cmake -S . -B build-mpi -DCMAKE_BUILD_TYPE=Release -DKORVA_MPI=ON -DKORVA_BUILD_TOOLS=OFF > /dev/null
cmake --build build-mpi -j"$(nproc)" --target korva > /dev/null
cmake -S . -B build-bench -DKORVA_BENCH=ON > /dev/null
cmake --build build-bench -j"$(nproc)" --target run_bench team_bench > /dev/null

export OMP_NUM_THREADS=1
korva="$PWD/build-mpi/korva"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp bench/large/deck.in bench/large/fe.ps bench/large/fe.xs "$work"
# Ranks are left unbound, so the scheduler may move them off a core another program holds.
mpi=(mpirun -q --oversubscribe --bind-to none)
[ "$(id -u)" -eq 0 ] && mpi+=(--allow-run-as-root)

# Other programs on the machine take cores from the ranks: the load is part of the result.
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== the serial run by phase (run_bench, 1 thread)"
./build-bench/run_bench --threads 1 | grep -E '^phases'
echo "== a team of $ranks threads in one process (team_bench, 1 thread each, shortest of $repeat)"
./build-bench/team_bench --members "$ranks" --repeat "$repeat"

# CPU seconds the whole machine has spent busy since boot.
busy() { awk -v hz="$(getconf CLK_TCK)" '/^cpu / { print ($2 + $3 + $4 + $7 + $8) / hz }' /proc/stat; }

# Runs one configuration $repeat times in $work, keeping the output of the last; prints the
# shortest wall time in seconds (the one least disturbed by other programs) and, for that
# repetition, how many cores other programs kept busy on average.
run() {
  local name="$1" t0 t1 b0 b1 own best="" others=""
  shift
  cd "$work"
  for _ in $(seq "$repeat"); do
    rm -f big_kor.*
    TIMEFORMAT="%U %S"
    b0=$(busy)
    t0=$(date +%s.%N)
    own=$( { time "$@" "$korva" < deck.in > "out_$name.txt" 2> "err_$name.txt" ; } 2>&1 )
    t1=$(date +%s.%N)
    b1=$(busy)
    read -r best others < <(awk -v a="$t0" -v b="$t1" -v c="$b0" -v d="$b1" -v own="$own" \
        -v m="$best" -v o="$others" 'BEGIN { split(own, u, " "); t = b - a
          if (m == "" || t < m) print t, (d - c - u[1] - u[2]) / t; else print m, o }')
  done
  mkdir -p "plots_$name" && mv big_kor.* "plots_$name/"
  cd - > /dev/null
  printf "%.2f s   (other programs: %.2f cores busy)" "$best" "$others"
}

mask() { sed -E 's/ *-?[0-9*.]+( ms  <<<<| msec  CPU time| msec CPU time| msec  <<<<)/#\1/g' "$1"; }

echo "== wall times (1 thread per rank, shortest of $repeat)"
t_alone=$(run alone)
echo "korva alone          ${t_alone}"
t1=$(run np1 "${mpi[@]}" -np 1)
echo "mpirun -np 1         ${t1}"
tn=$(run "np$ranks" "${mpi[@]}" -np "$ranks")
echo "mpirun -np $ranks         ${tn}"
a=${t1%% s*}
b=${tn%% s*}
echo "speed-up $(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }')," \
     "efficiency $(awk -v a="$a" -v b="$b" -v n="$ranks" 'BEGIN { printf "%.0f%%", 100 * a / (n * b) }')"
# What starting and ending the job costs: the small example (3 atoms, 6 points, 0.03 s alone).
mkdir -p "$work/small" && cp examples/small/deck.in examples/small/cu.ps examples/small/cu.xs "$work/small"
s0=$(date +%s.%N)
(cd "$work/small" && "${mpi[@]}" -np "$ranks" "$korva" < deck.in > /dev/null)
s1=$(date +%s.%N)
echo "mpirun -np $ranks on the small example (start and end of a job): $(awk -v a="$s0" -v b="$s1" 'BEGIN { printf "%.2f s", b - a }')"

same=yes
for name in np1 "np$ranks"; do
  cmp -s <(mask "$work/out_alone.txt") <(mask "$work/out_$name.txt") || same=no
  for f in "$work"/plots_alone/*; do
    cmp -s "$f" "$work/plots_$name/$(basename "$f")" || same=no
  done
done
echo "standard output (CPU figures aside) and plot files identical: $same"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
