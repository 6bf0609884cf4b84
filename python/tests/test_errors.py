"""A deck that ends a run early raises the program's message and exit status, and the
interpreter goes on with nothing left on disk."""

import shutil

import pytest

import korva
from conftest import EXAMPLES, files_of, run_program

DECK = (EXAMPLES / "small" / "deck.in").read_text()


def deck_with(line, new):
    lines = DECK.splitlines()
    lines[line] = new
    return "\n".join(lines) + "\n"


# (what, the deck's text); each provokes one way of ending: a value the deck reader cannot read
# (2), the input ending early (2), a data file missing (1), a value the run refuses (1), an
# interpolation mesh it refuses after the set-up (1).
CASES = [
    ("unreadable atom count", deck_with(3, "three")),
    ("deck ends early", "\n".join(DECK.splitlines()[:6]) + "\n"),
    ("missing phase-shift file", deck_with(0, "nothing.ps")),
    ("negative Mmax", deck_with(8, "0.01 -1 0.0001 6")),
    ("kmin above kmax", deck_with(11, "2 1 0.05")),
]


@pytest.mark.parametrize("what,text", CASES, ids=[c[0] for c in CASES])
def test_the_exception_carries_the_programs_message_and_status(what, text, scratch):
    folder = scratch / "run"
    folder.mkdir()
    for f in ("cu.ps", "cu.xs"):
        shutil.copy(EXAMPLES / "small" / f, folder)
    (folder / "deck.in").write_text(text)
    status, out, err = run_program(folder, text)
    assert status in (1, 2), what
    with pytest.raises(korva.Error) as caught:
        korva.run_deck(folder / "deck.in")
    e = caught.value
    assert e.status == status
    assert isinstance(e, korva.DeckError if status == 2 else korva.RunError)
    assert e.message == (err.rstrip("\n") if status == 2 else out.rstrip("\n").splitlines()[-1])
    assert files_of(folder) == ["cu.ps", "cu.xs", "deck.in"]  # the program's run wrote nothing


def test_options_and_files_the_program_refuses():
    two_channels = EXAMPLES / "two-types" / "deck.in"
    with pytest.raises(korva.RunError) as caught:
        korva.run_deck(two_channels, polarisations=[(0, 0, 1)])
    assert caught.value.status == 1
    assert caught.value.message.startswith("korva: --polarisation: polarised spectra are computed")
    with pytest.raises(korva.RunError, match="length above 0"):
        korva.run_deck(EXAMPLES / "cu-k" / "deck.in", polarisations=[(0, 0, 0)])
    with pytest.raises(korva.DeckError) as caught:
        korva.run_deck(EXAMPLES / "no-such-deck.in")
    assert caught.value.status == 2
