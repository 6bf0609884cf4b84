#!/usr/bin/env python3
"""Writes ft.exp, the SYNTHETIC comparison spectrum of this example, from a run's fto_kor.sig.

The value at each energy point is the program's total cross-section, summed over the two
channels, with 2% Gaussian noise (fixed seed) and a constant background of 1 Mbarn (the program
removes it: the experimental values are shifted so that their minimum plots at 0). Energies are
written in eV: the edge energy of the deck (707 eV) plus 13.6058 times the point's energy in Ry.

    ../../build/korva < deck.in && python3 make_exp.py
"""
import random

EDGE_EV = 707.0
EV = 13.6058


def curves(path):
    """The data blocks of a plot file, in order, as lists of (x, y)."""
    blocks, cur = [], []
    for line in open(path):
        f = line.split()
        try:
            cur.append((float(f[0]), float(f[1])))
        except (ValueError, IndexError):
            if cur:
                blocks.append(cur)
                cur = []
    if cur:
        blocks.append(cur)
    return blocks


b = curves("fto_kor.sig")
total1, total2 = b[0], b[2]  # the total cross-section of channel 1, then of channel 2
rng = random.Random(20261208)
with open("ft.exp", "w") as out:
    for (e, s1), (_, s2) in zip(total1, total2):
        value = (s1 + s2) * (1.0 + 0.02 * rng.gauss(0.0, 1.0)) + 1.0
        out.write(f"{EDGE_EV + EV * e:.4f} {value:.6e}\n")
