"""What the tests of the korva module share: the checkout, the program, scratch folders, and
an independent reading of the program's plot files and signal table."""

import os
import pathlib
import re
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ.get("KORVA_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAMPLES = SOURCE / "examples"
BINARY = pathlib.Path(os.environ.get("KORVA_BINARY", SOURCE / "build" / "korva"))
TOOLS = BINARY.parent / "tools"


def mask_cpu(text):
    """The CPU-time figures of the timing lines replaced by '#' (as the C++ tests do)."""
    return re.sub(r" *-?[0-9*.]+( ms  <<<<| msec  CPU time| msec CPU time| msec  <<<<)",
                  r"#\1", text)


def plot_curves(text):
    """The curves of a plot file that hold points: lists of (x, y) strings, each data line of
    two numbers, a curve ended by PLOT or JOIN."""
    curves, points = [], []
    for line in text.splitlines():
        words = line.split()
        if len(words) == 2 and all(re.fullmatch(r"[-+.0-9eE]+", w) for w in words):
            points.append(tuple(words))
        elif words and words[0] in ("PLOT", "JOIN"):
            if points:
                curves.append(points)
            points = []
    return curves


def table_rows(stdout):
    """The rows of the signal table: the printed fields after the 'E(eV)   K (1/A)' header."""
    lines = stdout.splitlines()
    start = next(i for i, ln in enumerate(lines) if "E(eV)   K (1/A)" in ln) + 2
    rows = []
    for line in lines[start:]:
        words = line.split()
        if not words or not re.fullmatch(r"-?[0-9]+\.[0-9]+", words[0]):
            break
        rows.append(words)
    return rows


def run_program(folder, deck_text, args=()):
    """The program itself on a deck in `folder`: (status, stdout, stderr)."""
    p = subprocess.run([str(BINARY), *args], input=deck_text.encode(), cwd=folder,
                       capture_output=True, check=False)
    return p.returncode, p.stdout.decode(), p.stderr.decode()


def files_of(folder):
    return sorted(p.name for p in pathlib.Path(folder).iterdir())


@pytest.fixture
def scratch(tmp_path):
    return tmp_path
