"""KORVA from Python: structures in, numpy arrays out, in this process.

    import korva
    r = korva.run_deck("examples/cu-k/deck.in")   # file names relative to the deck's folder
    r.k, r.xtot, r.chi_k, r.chi                     # the printed and plotted numbers

korva.run_deck / korva.run (a Deck) run the program's own run without the interpreter's lock
and with its threads; korva.cluster, korva.phase_shifts and korva.xas call korva-cluster,
korva-psgen and korva-xas. Errors raise korva.DeckError or korva.RunError with the program's
message and exit status.
"""

import glob
import os
import sys

try:
    import numpy  # noqa: F401
except ImportError:
    # An interpreter of Debian's Python version but without numpy of its own (a pyenv build of
    # 3.11, say) takes Debian's numpy, which the project's set-up installs, when its compiled
    # parts are for this interpreter's ABI.
    _debian = "/usr/lib/python3/dist-packages"
    _abi = "cpython-%d%d-" % sys.version_info[:2]
    if glob.glob(os.path.join(_debian, "numpy", "core", "_multiarray_umath." + _abi + "*.so")):
        sys.path.append(_debian)

from ._errors import DeckError, Error, RunError
from ._run import Deck, Result, parse_deck, read_deck, run, run_deck
from ._tools import Cluster, PhaseShifts, Spectrum, cluster, normalise, phase_shifts, xas

__all__ = ["Cluster", "Deck", "DeckError", "Error", "PhaseShifts", "Result", "RunError",
           "Spectrum", "cluster", "normalise", "parse_deck", "phase_shifts", "read_deck", "run",
           "run_deck", "xas"]
