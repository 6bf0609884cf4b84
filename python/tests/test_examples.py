"""Every example run from Python equals the program's stored output: the standard output, the
plot files, and every array against the printed and plotted numbers."""

import os
import subprocess
import sys

import numpy as np
import pytest

import korva
from conftest import EXAMPLES, files_of, mask_cpu, plot_curves, table_rows

NAMES = ["cu-k", "two-types", "planar", "small"]


def columns(a):
    return a.reshape(len(a), -1)


def check_curve(points, x, y, what):
    """Plotted numbers (shortest single-precision text) equal the arrays exactly."""
    assert len(points) == len(x), what
    np.testing.assert_array_equal(np.array([float(p[0]) for p in points], np.float32), x, what)
    np.testing.assert_array_equal(np.array([float(p[1]) for p in points], np.float32), y, what)


@pytest.mark.parametrize("name", NAMES)
def test_example_equals_the_program(name, scratch, monkeypatch):
    folder = EXAMPLES / name
    before = files_of(folder)
    monkeypatch.chdir(scratch)  # any working directory: the deck's folder holds its files
    r = korva.run_deck(folder / "deck.in")
    expected = folder / "expected"
    assert mask_cpu(r.output) == mask_cpu((expected / "stdout.txt").read_text())
    assert sorted(r.plots) == sorted(p.name for p in expected.iterdir() if p.name != "stdout.txt")
    for plot, text in r.plots.items():
        assert text == (expected / plot).read_text(), plot

    # The signal table, to its last printed digit (8.4 and 12.6 fixed fields).
    rows = table_rows(r.output)
    xtot = columns(r.xtot)
    assert len(rows) == len(r.energy)
    for i, row in enumerate(rows):
        printed = [f"{r.energy_ev[i]:.4f}", f"{r.k[i]:.4f}"] + [f"{v:.6f}" for v in xtot[i]]
        assert printed == row, f"point {i + 1}"

    # The plotted numbers, exactly.
    prefix = r.deck.prefix + "_kor."
    dat = plot_curves((expected / (prefix + "dat")).read_text())
    for c in range(xtot.shape[1]):
        check_curve(dat[c], r.k, columns(r.signal)[:, c], f"{name} .dat curve {c + 1}")
    if r.deck.if1 > 0:
        sig = plot_curves((expected / (prefix + "sig")).read_text())
        for c in range(xtot.shape[1]):
            check_curve(sig[2 * c], r.energy, columns(r.cross_section)[:, c], "total")
            check_curve(sig[2 * c + 1], r.energy, columns(r.atomic_cross_section)[:, c], "atomic")
        if r.experiment is not None:
            check_curve(sig[-1], *r.experiment, "experiment")
    else:
        assert r.cross_section is None
    for ext, x, y in (("chi", r.chi_k, r.chi), ("fou", r.fourier_r, r.fourier)):
        longest = max(plot_curves((expected / (prefix + ext)).read_text()), key=len)
        check_curve(longest, x, y, ext)
    assert files_of(folder) == before  # nothing written beside the deck
    assert os.listdir(scratch) == []


def test_a_deck_object_runs_as_its_file_and_plots_are_written_when_asked(scratch):
    deck = korva.read_deck(EXAMPLES / "two-types" / "deck.in")
    assert deck.folder == str(EXAMPLES / "two-types")
    assert korva.parse_deck(deck.text(), deck.folder) == deck
    from_file = korva.run_deck(EXAMPLES / "two-types" / "deck.in")
    r = korva.run(deck, plots=scratch)
    np.testing.assert_array_equal(r.xtot, from_file.xtot)
    assert r.plots == from_file.plots
    for name, text in r.plots.items():
        assert (scratch / name).read_text() == text


def test_progress_reaches_every_point_in_order_and_a_tqdm_like_bar():
    calls = []
    korva.run_deck(EXAMPLES / "small" / "deck.in", progress=lambda i, n: calls.append((i, n)))
    assert calls == [(i, 6) for i in range(1, 7)]

    class Bar:  # what tqdm offers: update(), n, total
        n, total = 0, None

        def update(self, by):
            self.n += by

    bar = Bar()
    korva.run_deck(EXAMPLES / "small" / "deck.in", progress=bar)
    assert (bar.n, bar.total) == (6, 6)


@pytest.mark.parametrize("stop", [KeyboardInterrupt, ValueError])
def test_an_error_between_points_stops_the_run_and_is_raised(stop, scratch):
    def progress(done, total):
        if done == 3:
            raise stop("stop here")

    with pytest.raises(stop):
        korva.run_deck(EXAMPLES / "small" / "deck.in", progress=progress, plots=scratch)
    assert os.listdir(scratch) == []


def test_ctrl_c_stops_the_run_between_points(scratch):
    """SIGINT while the run computes (the lock released): KeyboardInterrupt once the point
    ends, no plot file written."""
    script = f"""
import os, signal, sys, threading, time, korva
def interrupt():
    time.sleep(0.05)
    os.kill(os.getpid(), signal.SIGINT)
def progress(done, total):  # Ctrl-C from elsewhere while the next points compute
    if done == 1:
        threading.Thread(target=interrupt).start()
    # One write: the interrupt may land inside this callback, between two of print's writes.
    sys.stdout.write(f"{{done}} {{total}}\\n")
    sys.stdout.flush()
try:
    korva.run_deck({str(EXAMPLES / "cu-k" / "deck.in")!r}, progress=progress, plots=".")
except KeyboardInterrupt:
    print("stopped")
"""
    p = subprocess.run([sys.executable, "-c", script], cwd=scratch, capture_output=True,
                       text=True, check=True)
    lines = p.stdout.splitlines()
    done, total = map(int, lines[-2].split())
    assert lines[-1] == "stopped" and done < total
    assert os.listdir(scratch) == []
