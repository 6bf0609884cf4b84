"""The copper foil's K edge from its CIF to a picture beside the measured spectrum."""
import sys
import tempfile
from pathlib import Path

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import korva  # noqa: E402

data = Path(__file__).resolve().parent.parent / "cu-k"  # the structure and the measurement
picture = sys.argv[1] if len(sys.argv) > 1 else "cu_foil.png"
radius = float(sys.argv[2]) if len(sys.argv) > 2 else 6.0  # Angstrom: 79 atoms
cluster = korva.cluster(data / "cu_fcc.cif", "Cu1", radius)
with tempfile.TemporaryDirectory() as work:  # the deck and korva-psgen's data files
    tables = korva.phase_shifts(cluster, work)  # Hedin-Lundqvist, Fermi level, near-edge grid
    computed = korva.xas(korva.run(tables.deck))  # cut at E_F, broadened, normalised
e, mu = np.loadtxt(data / "cu_metal_10K.xdi", unpack=True)
measured = korva.normalise(e, mu)[0]  # as Athena normalises it
plt.plot(e, measured, "k.", ms=3, label="measured: Cu foil, 10 K (NSLS X11A)")
plt.plot(computed.energy, computed.mu, label=f"KORVA: {len(cluster)} atoms, E_F at 8979 eV")
plt.xlim(8960, 9060)
plt.xlabel("photon energy (eV)")
plt.ylabel("normalised absorption")
plt.legend()
plt.savefig(picture, dpi=90)
