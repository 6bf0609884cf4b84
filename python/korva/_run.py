"""Decks and runs: korva.read_deck, korva.run_deck, korva.run and their Result."""

import dataclasses
import os
import tempfile

import numpy as np

from . import _korva
from ._errors import DeckError


@dataclasses.dataclass
class Deck:
    """The answers to the program's twelve prompts (see the README's deck table). `atoms` holds
    one (x, y, z, phase set) per atom, Angstrom, the absorber first; `folder` is where the file
    names point (the deck file's folder, or the working directory of a deck made here)."""

    psfile: str
    xsfile: str
    prefix: str
    atoms: list
    lcore: int
    toll_lmax: float
    mmax: int
    eps: float
    nep: int
    iout: int
    if1: int
    if2: int
    ene: float
    fac: float
    esp: float
    expfile: str
    kmin: float
    kmax: float
    dk: float
    de0: float
    folder: str = dataclasses.field(default_factory=os.getcwd)

    @property
    def positions(self):
        return np.array([a[:3] for a in self.atoms], dtype=np.float32).reshape(-1, 3)

    @property
    def phase_sets(self):
        return np.array([a[3] for a in self.atoms], dtype=int)

    def values(self):
        v = dataclasses.asdict(self)
        del v["folder"]
        v["atoms"] = [(float(x), float(y), float(z), int(i)) for x, y, z, i in self.atoms]
        return v

    def text(self):
        """The deck file's text; the program reads it back to exactly these values."""
        return _korva.deck_text(self.values())

    def write(self, path):
        """Writes the deck file (whole, or not at all)."""
        _write_whole(path, self.text().encode())


def _deck(values, folder):
    values["atoms"] = [tuple(a) for a in values["atoms"]]
    return Deck(**values, folder=os.path.abspath(folder))


def read_deck(path):
    """A deck file's answers, read as the program reads them; its file names stay relative to
    the deck's folder."""
    path = os.fspath(path)
    return _deck(_korva.read_deck(path), os.path.dirname(os.path.abspath(path)))


def parse_deck(text, folder=None, name="deck"):
    """A deck's text, read as the program reads it; file names relative to `folder` (default:
    the working directory)."""
    return _deck(_korva.parse_deck(text, name), folder or os.getcwd())


def _write_whole(path, data):
    path = os.fspath(path)
    folder = os.path.dirname(os.path.abspath(path))
    fd, temp = tempfile.mkstemp(dir=folder, prefix=os.path.basename(path) + ".")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(temp, 0o666 & ~_umask())
        os.replace(temp, path)
    except BaseException:
        if os.path.exists(temp):
            os.unlink(temp)
        raise


def _umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def _columns(arrays):
    """One column: a 1-D array; several: rows of points, a column each (as the table)."""
    return arrays[0] if len(arrays) == 1 else np.stack(arrays, axis=1)


class Result:
    """What a run printed and plotted, as numpy arrays of the program's single-precision numbers
    (float32): each equals the printed or plotted number to its last digit.

    Per energy point: energy (Ry), energy_ev and k (the signal table's columns E(eV) and K),
    xtot (its Xtot columns), signal (the .dat curves: k**ESP Xtot), cross_section and
    atomic_cross_section (the .sig curves, Mbarn; None when IF1 = 0). One column per final-state
    channel, or per polarisation: 1-D for one column, (points, columns) for more. experiment:
    the .sig file's measured points (energy relative to the edge in Ry, scaled value), or None.
    chi_k, chi: the .chi curve (k**ESP chi(k)); fourier_r, fourier: the .fou curve. output: the
    program's standard output; plots: the plot files' texts by name (written only by
    write_plots)."""

    def __init__(self, raw, deck, deck_name):
        self.deck = deck
        self.deck_name = deck_name
        self.output = raw["output"]
        self.plots = dict(raw["plots"])
        self.polarisations = list(raw["names"])
        self.energy = raw["energy"]
        self.energy_ev = raw["energy_ev"]
        self.k = raw["k"]
        columns = len(raw["xtot"])
        self.xtot = _columns(raw["xtot"])
        curves = raw["curves"]
        name = deck.prefix + "_kor."
        self.signal = _columns([y for _, y in curves[name + "dat"][:columns]])
        self.cross_section = self.atomic_cross_section = self.experiment = None
        sig = curves.get(name + "sig")
        if sig is not None:
            self.cross_section = _columns([sig[2 * c][1] for c in range(columns)])
            self.atomic_cross_section = _columns([sig[2 * c + 1][1] for c in range(columns)])
            if len(sig) > 2 * columns:
                self.experiment = sig[2 * columns]
        # Beside chi(k) and its transform the files plot the origin alone.
        self.chi_k, self.chi = max(curves[name + "chi"], key=lambda c: len(c[0]))
        self.fourier_r, self.fourier = max(curves[name + "fou"], key=lambda c: len(c[0]))

    def write_plots(self, folder="."):
        """Writes the plot files into `folder`, as the program writes them in its own; returns
        their paths."""
        paths = []
        for name, text in self.plots.items():
            paths.append(os.path.join(os.fspath(folder), name))
            _write_whole(paths[-1], text.encode())
        return paths


def _progress_function(progress):
    """A callable f(done, total), or a tqdm-like bar (update() and total) driven by it."""
    if progress is None or not hasattr(progress, "update"):
        return progress

    def advance(done, total):
        if progress.total != total:
            progress.total = total
        progress.update(done - progress.n)

    return advance


def _polarisation_args(polarisations):
    args = []
    for v in polarisations:
        args += ["--polarisation"] + [repr(float(x)) for x in v]
    return args


def _run(text, folder, deck_of, deck_name, threads, progress, polarisations, plots):
    raw = _korva.run_text(text, folder, int(threads), _polarisation_args(polarisations),
                          _progress_function(progress))
    result = Result(raw, deck_of(), deck_name)
    if plots is not None:
        result.write_plots(plots)
    return result


def run_deck(path, threads=0, progress=None, polarisations=(), plots=None):
    """Runs a deck file as `korva < deck` run in the deck's folder would, in this process:
    the file names of the deck are relative to its folder, whatever the working directory.

    threads: 0 for the program's choice (OMP_NUM_THREADS, else every core); progress: called
    as progress(points_done, points_total) after each energy point, or a tqdm bar; Ctrl-C
    stops the run between two points (KeyboardInterrupt). polarisations: vectors (x, y, z) as
    the command line's --polarisation takes them. plots: a folder to write the plot files in;
    none are written otherwise. Raises DeckError or RunError with the program's message and
    exit status when the run ends early; no file is written then."""
    path = os.fspath(path)
    try:
        with open(path, "rb") as f:
            text = f.read()
    except OSError as e:
        raise DeckError(f"{path}: the deck cannot be opened ({e.strerror})", 2) from None
    folder = os.path.dirname(os.path.abspath(path))
    return _run(text, folder, lambda: read_deck(path), path, threads, progress, polarisations,
                plots)


def run(deck, threads=0, progress=None, polarisations=(), plots=None):
    """Runs a Deck (its file names relative to deck.folder) as run_deck runs a file."""
    return _run(deck.text(), deck.folder, lambda: deck, "deck", threads, progress, polarisations,
                plots)
