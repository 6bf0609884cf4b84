"""Runs share no state: two runs in two Python threads give the numbers of one run after the
other, and each gives up the interpreter's lock while it computes."""

import threading
import time

import numpy as np

import korva
from conftest import EXAMPLES

DECKS = [EXAMPLES / "cu-k" / "deck.in", EXAMPLES / "two-types" / "deck.in"]


def arrays(r):
    return [r.xtot, r.signal, r.cross_section, r.chi, r.fourier]


def test_two_threads_give_the_numbers_of_one_run_after_the_other():
    alone = [korva.run_deck(d) for d in DECKS]
    together = [None, None]
    ticks = []

    def work(i):
        together[i] = korva.run_deck(DECKS[i])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    while any(t.is_alive() for t in threads):  # the interpreter is free meanwhile
        ticks.append(time.monotonic())
        time.sleep(0.01)
    for t in threads:
        t.join()
    for a, b in zip(alone, together):
        for x, y in zip(arrays(a), arrays(b)):
            np.testing.assert_array_equal(x, y)
        assert a.plots == b.plots
    assert len(ticks) > 5
