"""examples/python/cu_foil.py: from the CIF to the picture, in under 30 lines, leaving nothing
in the checkout (run on the 19-atom cluster of radius 3.7 A to keep it short)."""

import os
import subprocess
import sys

from conftest import EXAMPLES, files_of

SCRIPT = EXAMPLES / "python" / "cu_foil.py"


def test_the_copper_foil_example_draws_its_picture(scratch):
    assert len(SCRIPT.read_text().splitlines()) < 30
    before = files_of(SCRIPT.parent)
    env = dict(os.environ, MPLBACKEND="Agg")
    subprocess.run([sys.executable, str(SCRIPT), "cu.png", "3.7"], cwd=scratch, env=env,
                   check=True)
    assert (scratch / "cu.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert files_of(scratch) == ["cu.png"]
    assert files_of(SCRIPT.parent) == before
