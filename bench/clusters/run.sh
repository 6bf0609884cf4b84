#!/usr/bin/env bash
# Large clusters, in one run on one machine: fcc copper clusters of up to 99, 250, 500 and 1000
# atoms around one absorber (korva-cluster on a copper CIF; whole shells, so a little fewer),
# self-consistent phase shifts from korva-psgen (10 energies from 1 to 25 Ry, lmax 4), and the
# whole run of each (Mmax 3, EPS 0: 20 levels at every point) on a build with capacities for
# the largest cluster asked for (at least 1000 atoms) and 25 channels an atom. Prints per cluster: the order N, the time per point with the
# assembly and the recursion apart, the peak memory against the stored matrix plus the
# harmonics, the recursion's bytes per level against the read bandwidth; LAPACK's cgesv measured
# at N = 2000..8000 with the same 3 right-hand sides and threads, its N^3 fit extrapolated to
# each cluster (stated as such); and Xtot at three energies against the cluster size, also as a
# plot-command file that korva-plot draws.
#   bash bench/clusters/run.sh [threads] [OUTDIR]     (SIZES="99 250" for fewer clusters,
#                                                     SIZES=2000 for one of about 2000 atoms)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
threads="${1:-$(nproc)}"
out="${2:-${TMPDIR:-/tmp}/korva-clusters}"
sizes=(${SIZES:-99 250 500 1000})
source bench/lapack.sh
install_lapack
bash scripts/setup.sh
nat=1000
for n in "${sizes[@]}"; do [ "$n" -gt "$nat" ] && nat=$n; done
build=build-clusters
[ "$nat" -gt 1000 ] && build=build-clusters-$nat
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVA_NAT="$nat" -DKORVA_NDM=$((25 * nat)) \
  -DKORVA_BENCH=ON -DKORVA_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j"$(nproc)" --target korva korva-cluster korva-psgen korva-plot \
  run_bench lapack_bench > /dev/null
export OMP_NUM_THREADS="$threads"
mkdir -p "$out"
lscpu | sed -n 's/^Model name: *//p' | sed 's/^/cpu: /'

# One cluster of at most $1 atoms in $out/n$1, ready to run.
make_cluster() {
  local dir="$out/n$1"
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" &&
    "$root/$build/tools/cluster/korva-cluster" "$root/tests/tools/data/cluster/cu_fcc.cif" \
      --absorber Cu --radius 30 --max-atoms "$1" --deck deck.in --psgen cu.psgen \
      > /dev/null 2> cluster.txt &&
    sed -i 's/^energies .*/energies 1.0 25 10 k/; s/^grid .*/energies 1.0 25 10 k/; s/^lmax .*/lmax 4/' cu.psgen &&
    "$root/$build/tools/psgen/korva-psgen" cu.psgen > /dev/null &&
    sed -i 's|^[-0-9.e]* [0-9]* [-0-9.e]* [0-9]* *\(/ TOLL_lmax.*\)|0 3 0 10   \1|;
            s|^\([-0-9.e]*\)\( *\)/ ESP.*|0   / ESP: chi(k) unweighted, so the .dat holds Xtot|' \
      deck.in)
}

echo "== clusters (korva-cluster, korva-psgen)"
for n in "${sizes[@]}"; do
  make_cluster "$n"
  printf 'at most %5d atoms: %s atoms\n' "$n" "$(sed -n 4p "$out/n$n/deck.in" | tr -d ' ')"
done

echo "== runs (run_bench, $threads thread(s))"
for n in "${sizes[@]}"; do
  echo "-- $(sed -n 4p "$out/n$n/deck.in" | tr -d ' ') atoms"
  "$build/run_bench" --threads "$threads" "$out/n$n" | tee "$out/n$n/bench.txt" |
    grep -E '^(deck|phases|assembly steps|energy loop|peak memory|point +1 )'
  # run_bench runs in a scratch copy of the deck's folder; its signal plot is kept.
  cp "${TMPDIR:-/tmp}/korva-run-bench/cuk_kor.dat" "$out/n$n/"
done

# cgesv on random matrices of the scattering matrix's size.
choose_openblas_kernels "$build/lapack_bench"
echo "== cgesv (lapack_bench --random N, 3 right-hand sides, $threads thread(s))"
: > "$out/cgesv.txt"
for m in 2000 4000 6000 8000; do
  "$build/lapack_bench" --random "$m" "$threads" | tee -a "$out/cgesv.txt"
done

echo "== summary"
awk -v out="$out" -v sizes="${sizes[*]}" '
  # cgesv: least-squares fit t = a N^3 over the measured orders.
  FILENAME ~ /cgesv.txt$/ {
    n = $0; sub(/.*N = /, "", n); sub(/,.*/, "", n)
    t = $0; sub(/.*: /, "", t); sub(/ s.*/, "", t)
    sxy += t * n^3; sxx += n^6; next
  }
  END {
    a = sxy / sxx
    printf "cgesv fit: t = %.3e s x N^3 (measured N = 2000..8000; larger N extrapolated)\n", a
    printf "%6s %6s %9s %9s %9s %10s %8s %9s %10s %8s\n", "atoms", "N", "point s", "assembly",
      "recursion", "rec x bnd", "mem x", "peak GB", "cgesv s", "ratio"
    split(sizes, s, " ")
    for (i = 1; i in s; ++i) {
      dir = out "/n" s[i]
      getline line < (dir "/deck.in"); getline line < (dir "/deck.in"); getline line < (dir "/deck.in")
      getline atoms < (dir "/deck.in"); close(dir "/deck.in"); gsub(/ /, "", atoms)
      npt = 0; tp = 0; tr = 0; rb = 0
      while ((getline line < (dir "/bench.txt")) > 0) {
        split(line, f, " ")
        if (line ~ /^phases/) { match(line, /assembly [0-9.]+/); as = substr(line, RSTART + 9, RLENGTH - 9) }
        if (line ~ /^peak memory/) { pk = f[3]; rt = f[length(f)] }
        if (f[1] ~ /^[0-9]+$/ && f[2] ~ /^[0-9]+$/ && NF >= 8) { ++npt; nn = f[2]; tp += f[4]; tr += f[5]; rb += f[6] }
      }
      close(dir "/bench.txt")
      if (npt == 0) continue
      cg = a * nn^3
      printf "%6d %6d %9.3f %9.3f %9.3f %10.2f %8.2f %9.2f %10.2f %7.1fx\n", atoms, nn, tp / npt,
        as / npt, tr / npt, rb / npt, rt, pk / 1024, cg, cg / (tp / npt)
    }
  }' "$out/cgesv.txt"

# Xtot at three energies (points 2, 5 and 9) against the cluster size: plain columns, and a
# plot-command file for korva-plot.
echo "== Xtot against the cluster size (points 2, 5, 9)"
conv="$out/convergence.txt"
plt="$out/convergence_kor.plt"
printf '# atoms  Xtot(k1)  Xtot(k2)  Xtot(k3)\n' > "$conv"
for n in "${sizes[@]}"; do
  atoms=$(sed -n 4p "$out/n$n/deck.in" | tr -d ' ')
  awk -v atoms="$atoms" '$1 ~ /^[0-9.]+$/ && NF == 2 { ++p; if (p == 2 || p == 5 || p == 9) { k[++m] = $1; x[m] = $2 } }
    END { printf "%6d %10s %10s %10s   # k = %s %s %s 1/A\n", atoms, x[1], x[2], x[3], k[1], k[2], k[3] }' \
    "$out/n$n/cuk_kor.dat" >> "$conv"
done
cat "$conv"
{
  echo ' SET FONT DUPLEX'
  echo ' SET WINDOW X 2 12 Y 2. 8.5'
  echo ' TITLE 3. 9.4 SIZE 2.5 "Xtot against the cluster size"'
  echo ' TITLE 6. .7 SIZE 2.5 "atoms"'
  echo ' TITLE .5 4.5 SIZE 2.5 "Xtot"'
  for col in 2 3 4; do
    echo " SET SYMBOL $((col))P SIZE 0.8"
    awk -v c="$col" '!/^#/ { print " " $1 " " $c }' "$conv"
    echo ' PLOT'
    echo ' JOIN'
  done
} > "$plt"
"$build/tools/plot/korva-plot" -o "$out/convergence.png" "$plt"
echo "plot: $plt, drawn to $out/convergence.png"
