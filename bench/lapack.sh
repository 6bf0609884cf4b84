# Sourced by the benchmark scripts: OpenBLAS and LAPACKE for the cgesv comparison.

# Installs OpenBLAS and LAPACKE if missing.
install_lapack() {
  local missing=() p
  for p in libopenblas-dev liblapacke-dev; do
    dpkg -s "$p" > /dev/null 2>&1 || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  fi
}

# OpenBLAS with its own kernel choice, unless it does not know the processor and falls back to
# its generic SSE3 kernels (Prescott): then the widest kernels the processor runs.
#   choose_openblas_kernels PATH_TO_LAPACK_BENCH
choose_openblas_kernels() {
  unset OPENBLAS_CORETYPE OPENBLAS_L2_SIZE
  if [ "$("$1" --core)" = Prescott ]; then
    if grep -qw avx512f /proc/cpuinfo; then export OPENBLAS_CORETYPE=SkylakeX
    elif grep -qw avx2 /proc/cpuinfo; then export OPENBLAS_CORETYPE=Haswell
    fi
  fi
}
