#!/usr/bin/env bash
# Times a 99-atom run from Python (korva.run_deck in /usr/bin/python3, the module of build/python)
# against the command-line program on the same deck: the wall and CPU (user + system) time of
# each whole process (interpreter start and import included), alternating, the shortest of N
# tries and the median ratio of the pairs, and the load average before and after. On a machine
# shared with other work the CPU times are the steadier measure, and OMP_NUM_THREADS=1 (passed on
# to both) keeps idle threads from spinning on a busy machine.
#
#   bash bench/python_bench.sh [tries]     # builds korva, korva-psgen and the module if missing
set -euo pipefail
cd "$(dirname "$0")/.."
tries=${1:-3}
root=$PWD
if [ ! -x build/korva ] || [ ! -x build/tools/psgen/korva-psgen ] || ! ls build/python/korva/_korva*.so >/dev/null 2>&1; then
  bash scripts/build.sh >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The 99 fcc sites (a = 3.61 A) nearest the absorber, as bench/psgen_bench.sh makes them; lmax 7
# keeps the matrix (99 atoms x 44 channels) within the order capacity.
{
  printf 'cu.ps\ncu.xs\nbig\n99\n'
  for i in $(seq -4 4); do for j in $(seq -4 4); do for k in $(seq -4 4); do
    if (( (i + j + k) % 2 == 0 )); then echo "$((i * i + j * j + k * k)) $i $j $k"; fi
  done; done; done | sort -k1,1n -k2,2n -k3,3n -k4,4n | head -99 |
    awk '{ printf "%9.4f %9.4f %9.4f %d\n", 1.805 * $2, 1.805 * $3, 1.805 * $4, NR == 1 ? 1 : 2 }'
  printf '0\n0.002 3 0.0001 150\n2 1 0 8979 1\n2\n3 11 0.05\n0\n'
} >deck.in
printf 'type Cu\ntype Cu\ndeck deck.in\nenergies 0.5 36.0 30 k\nlmax 7\nedge K\nedge_ev 8979\nphase_file cu.ps\nxs_file cu.xs\n' >cu.psgen
"$root/build/tools/psgen/korva-psgen" cu.psgen >/dev/null

/usr/bin/python3 - "$root" "$tries" <<'PY'
import os, resource, subprocess, sys, time
root, tries = sys.argv[1], int(sys.argv[2])
env = dict(os.environ, PYTHONPATH=os.path.join(root, "build", "python"))
cli = [os.path.join(root, "build", "korva")]
py = ["/usr/bin/python3", "-c", "import korva; korva.run_deck('deck.in')"]


def cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def measure(cmd, **kw):
    t0, c0 = time.perf_counter(), cpu()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, env=env, **kw)
    return time.perf_counter() - t0, cpu() - c0


with open("/proc/cpuinfo") as f:
    model = next(ln.split(":", 1)[1].strip() for ln in f if ln.startswith("model name"))
print(f"processor: {model}, {os.cpu_count()} cores")
print("load average before:", " ".join(f"{x:.2f}" for x in os.getloadavg()))
runs = {"command line": [], "Python": []}
for t in range(tries):
    with open("deck.in") as deck:
        runs["command line"].append(measure(cli, stdin=deck))
    runs["Python"].append(measure(py))
    (cw, cc), (pw, pc) = runs["command line"][-1], runs["Python"][-1]
    print(f"try {t + 1}: command line {cw:.3f} s wall {cc:.3f} s CPU, "
          f"Python {pw:.3f} s wall {pc:.3f} s CPU")
print("load average after:", " ".join(f"{x:.2f}" for x in os.getloadavg()))
for i, what in ((0, "wall"), (1, "CPU")):
    a = min(r[i] for r in runs["command line"])
    b = min(r[i] for r in runs["Python"])
    pairs = sorted(p[i] / c[i] for c, p in zip(runs["command line"], runs["Python"]))
    print(f"{what}: shortest command line {a:.3f} s, Python {b:.3f} s, ratio {b / a:.3f}; "
          f"median ratio of the pairs {pairs[len(pairs) // 2]:.3f}")
PY
