"""The companion tools in this process: korva.cluster (korva-cluster), korva.phase_shifts
(korva-psgen), korva.xas (korva-xas) and korva.normalise."""

import numbers
import os
import tempfile

import numpy as np

from . import _korva
from ._errors import RunError
from ._run import _write_whole, parse_deck, read_deck


class Cluster:
    """A cluster cut out of a structure as korva-cluster cuts it: the absorber at the origin,
    then whole shells by distance. positions (Angstrom, relative to the absorber), elements, z,
    phase_sets and distances per atom; sets: (element, Z) of each phase set (set 1 the absorber
    alone); table: korva-cluster's shell table; notes: what the reader decided; cut: (distance,
    count) of the first shell left out for the atom limit, or None."""

    def __init__(self, handle):
        self._handle = handle
        v = handle.values()
        self.positions = np.array(v["positions"], dtype=float).reshape(-1, 3)
        self.elements = list(v["elements"])
        self.z = np.array(v["z"], dtype=int)
        self.phase_sets = np.array(v["phase_sets"], dtype=int)
        self.distances = np.array(v["distances"], dtype=float)
        self.sets = [tuple(s) for s in v["sets"]]
        self.table = v["table"]
        self.notes = list(v["notes"])
        self.name = v["name"]
        self.cut = v["cut"]

    def __len__(self):
        return len(self.elements)

    def deck(self, edge="K", folder=None):
        """korva-cluster's deck for this cluster (--deck): data files NAME.ps and NAME.xs,
        relative to `folder` (default: the working directory)."""
        return parse_deck(self._handle.deck_text(edge), folder, "korva-cluster deck")

    def psgen_text(self, edge="K", grid="near-edge", deck="deck.in"):
        """korva-cluster's korva-psgen input (--psgen), naming the deck file `deck`."""
        return self._handle.psgen_text(edge, _exafs(grid), deck)


def _exafs(grid):
    if grid not in ("near-edge", "exafs"):
        raise RunError(f"korva-cluster: --grid {grid}: the grid must be near-edge or exafs", 1)
    return grid == "exafs"


def _is_atoms(structure):
    return hasattr(structure, "get_chemical_symbols") and hasattr(structure, "get_positions")


def _cluster_of_atoms(atoms, absorber, radius, max_atoms):
    """An ase.Atoms periodic in all three directions is a crystal (its atoms wrapped into the
    cell), any other a molecule; an integer absorber is an index as ASE counts (from 0)."""
    periodic = bool(np.all(atoms.pbc))
    if periodic:
        cell = np.array(atoms.cell)
        positions = atoms.get_scaled_positions(wrap=True) @ cell
        lattice = [tuple(row) for row in cell]
    else:
        positions, lattice = atoms.get_positions(), None
    if isinstance(absorber, numbers.Integral):
        absorber = str(int(absorber) + 1)
    return _korva.cluster_atoms(atoms.get_chemical_formula(), atoms.get_chemical_symbols(),
                                [int(z) for z in atoms.get_atomic_numbers()],
                                [tuple(map(float, r)) for r in positions], lattice,
                                str(absorber), float(radius), int(max_atoms))


def cluster(structure, absorber, radius, max_atoms=None):
    """The cluster around `absorber` within `radius` (Angstrom) of a structure: a file name
    (CIF, mmCIF, PDB, XYZ; absorber a site label, an element, or an atom number as
    korva-cluster takes them) or an ase.Atoms (absorber an element or an index from 0). At most
    `max_atoms` atoms, by default the program's capacity."""
    max_atoms = _korva.NAT if max_atoms is None else max_atoms
    if _is_atoms(structure):
        return Cluster(_cluster_of_atoms(structure, absorber, radius, max_atoms))
    return Cluster(_korva.cluster_file(os.fspath(structure), str(absorber), float(radius),
                                       int(max_atoms)))


def _with_keywords(text, keywords):
    """The psgen input with each keyword's line replaced (or added): value None removes it."""
    lines = text.splitlines()
    for key, value in keywords.items():
        lines = [ln for ln in lines if ln.split()[:1] != [key]]
        if value is not None:
            words = value if isinstance(value, (list, tuple)) else [value]
            lines.append(" ".join([key] + [str(w) for w in words]))
    return "\n".join(lines) + "\n"


class PhaseShifts:
    """korva-psgen's tables: energies (Ry), k, t[energy, phase set, l], lcut[energy][set],
    sigma[energy][channel] (Mbarn), rmt (Bohr), gamma, edge and fermi (Ry), log (its account of
    the potential), input (the psgen input), and deck: the cluster's deck, ready to run."""

    def __init__(self, tables, deck, text):
        for key, value in tables.items():
            setattr(self, key, value)
        self.deck = deck
        self.input = text


def phase_shifts(cluster, folder, edge="K", grid="near-edge", deck="deck.in", **keywords):
    """korva-psgen for a Cluster, in this process: writes in `folder` the cluster's deck (file
    `deck`) and the data files it names (NAME.ps, NAME.xs), from korva-cluster's psgen input
    (grid "near-edge" or "exafs", as its --grid) with any psgen keyword replaced
    (exchange="dirac-hara", lmax=8, ...; grid=("near-edge", 5, 40, 50) replaces the grid line
    too). Nothing is left behind when it fails."""
    if not isinstance(grid, str):
        keywords["grid"], grid = grid, "near-edge"
    folder = os.path.abspath(os.fspath(folder))
    os.makedirs(folder, exist_ok=True)
    final = os.path.join(folder, deck)
    deck_text = cluster._handle.deck_text(edge)
    fd, temp = tempfile.mkstemp(dir=folder, prefix=deck + ".")
    os.close(fd)
    try:
        _write_whole(temp, deck_text.encode())
        text = _with_keywords(cluster.psgen_text(edge, grid, deck), keywords)
        tables = _korva.phase_shifts(text, folder, temp)
        os.replace(temp, final)
    finally:
        if os.path.exists(temp):
            os.unlink(temp)
    return PhaseShifts(tables, read_deck(final), text)


class Spectrum:
    """korva-xas's spectrum: energy (photon energy, eV), mu (normalised to an edge step of 1),
    e0 (eV), edge_step (Mbarn), fermi (Ry) and fermi_source, element, edge, warnings, and xdi:
    the XDI file's text."""

    def __init__(self, values):
        for key, value in values.items():
            setattr(self, key, value)

    def write_xdi(self, path):
        _write_whole(path, self.xdi.encode())


def xas(result, fermi=None, element=None, edge=None, resolution=1.0, final_width=None):
    """The spectrum korva-xas makes of a run's result, with its options (--fermi E_RY,
    --element, --edge, --resolution FWHM_EV, --final-width SCALE)."""
    args = []
    for flag, value in (("--fermi", fermi), ("--element", element), ("--edge", edge),
                        ("--resolution", resolution), ("--final-width", final_width)):
        if value is not None:
            args += [flag, repr(float(value)) if isinstance(value, numbers.Real) else str(value)]
    deck = result.deck
    sig = result.plots.get(deck.prefix + "_kor.sig", "")  # none when IF1 = 0: refused below
    return Spectrum(_korva.xas(deck.values(), result.deck_name, deck.folder, sig, args))


def normalise(energy, mu, pre_edge=True):
    """Edge-step normalisation as Athena and korva-xas do it: returns (normalised mu, E0, edge
    step). pre_edge=False for a computed spectrum (no line below the edge)."""
    v = _korva.normalise(np.asarray(energy, dtype=float), np.asarray(mu, dtype=float),
                         bool(pre_edge))
    return v["mu"], v["e0"], v["edge_step"]
