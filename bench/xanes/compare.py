#!/usr/bin/python3
"""Figures of merit of a computed XANES spectrum against a measured one.

Both spectra are normalised the way Athena and Larch normalise a measured spectrum: E0 at the
largest derivative, a straight pre-edge line subtracted, a quadratic post-edge line whose value at
E0 is the edge step, divided by the step. With one free energy shift of the computed spectrum
(grid search in steps of 0.05 eV) the script reports Pearson's r over E0-5..E0+60 eV on the
measured grid, and the offsets of the computed maxima nearest the first three measured maxima
above the edge.

The computed spectrum is either an XDI file with the columns `energy eV` and `mu` (already
normalised; korva-xas writes it) or a korva `.sig` plot file (its first curve, the total cross
section, against the energy above the interstitial zero in the unit of its axis title). A `.sig`
spectrum can be cut at the Fermi level (`--fermi FILE`: the E_F field of a korva-psgen data
file's header, or `--ef-ry X`) and convolved with a Gaussian (`--fwhm EV`) before it is
normalised, so each physics step can be measured before korva-xas exists.

Debian's /usr/bin/python3 with numpy only.
"""

import argparse
import re
import sys

import numpy as np

EV_PER_RY = 13.6058  # the conversion of korva and korva-psgen
FINE_STEP = 0.05  # eV: the fine grid of the computed spectrum and the step of the shift search
WINDOW = (-5.0, 60.0)  # eV about the measured E0: where r is computed
PEAKS = 3  # measured maxima above the edge that are compared


def fail(message):
    sys.stderr.write("compare.py: " + message + "\n")
    sys.exit(1)


def read_xdi(path):
    """Energy (eV) and the absorption column of an XDI file: `mu`, else `mutrans`, else the
    second column."""
    columns = {}
    rows = []
    with open(path) as f:
        for line in f:
            if line.startswith("#"):
                m = re.match(r"#\s*Column\.(\d+):\s*(\S+)", line)
                if m:
                    columns[m.group(2).lower()] = int(m.group(1)) - 1
                continue
            if line.strip():
                rows.append([float(v) for v in line.split()])
    if not rows:
        fail(path + ": no data")
    data = np.array(rows)
    e_col = columns.get("energy", 0)
    mu_col = next((columns[n] for n in ("mu", "mutrans", "mufluor") if n in columns), 1)
    return data[:, e_col], data[:, mu_col]


def read_sig(path):
    """The first curve of a korva .sig plot file, energy converted to eV (the axis title says
    Ry or eV)."""
    unit = EV_PER_RY
    rows = []
    with open(path) as f:
        for line in f:
            words = line.split()
            if not words:
                continue
            if '"E (eV)"' in line:
                unit = 1.0
            try:
                values = [float(w) for w in words]
            except ValueError:
                if rows and words[0] in ("PLOT", "JOIN"):
                    break  # the end of the first curve
                continue
            if len(values) == 2:
                rows.append(values)
    if len(rows) < 4:
        fail(path + ": fewer than 4 points in its first curve")
    data = np.array(rows)
    return data[:, 0] * unit, data[:, 1]


def fermi_level_ev(path):
    """E_F (eV above the interstitial zero) from the `| E_F <value> Ry` field of the header of a
    korva-psgen data file."""
    with open(path) as f:
        header = f.readline()
    m = re.search(r"\|\s*E_F\s+(\S+)\s+Ry", header)
    if not m:
        fail(path + ": its first line has no E_F field")
    return float(m.group(1)) * EV_PER_RY


def largest_derivative(e, mu):
    d = np.gradient(mu, e)
    return e[int(np.argmax(d))]


def normalise(e, mu, pre=None, post_from=None):
    """(E0, normalised mu). pre: the pre-edge range about E0 for the straight line (None: no
    pre-edge, the computed spectrum's zero below its onset); post_from: the start of the
    quadratic post-edge range above E0 (it runs to the last point)."""
    e0 = largest_derivative(e, mu)
    base = np.zeros_like(mu)
    if pre is not None:
        sel = (e >= e0 + pre[0]) & (e <= e0 + pre[1])
        if sel.sum() < 2:
            fail("fewer than 2 points in the pre-edge range")
        base = np.polyval(np.polyfit(e[sel], mu[sel], 1), e)
    if post_from is None:
        # Athena's default starts 150 eV above E0; a spectrum that ends sooner (a near-edge grid)
        # is fitted from 25 eV above E0, as Larch chooses for short ranges.
        post_from = 150.0 if e[-1] - e0 > 250.0 else 25.0
    sel = e >= e0 + post_from
    if sel.sum() < 3:
        fail("fewer than 3 points in the post-edge range")
    post = np.polyfit(e[sel], mu[sel] - base[sel], 2)
    step = np.polyval(post, e0)
    if not step > 0:
        fail("the edge step is not positive")
    return e0, (mu - base) / step


def gaussian(e, mu, fwhm):
    """mu on the even grid e convolved with a unit-area Gaussian of the given FWHM (eV); the
    ends continue as constants."""
    if fwhm <= 0:
        return mu
    sigma = fwhm / (2.0 * np.sqrt(2.0 * np.log(2.0)))
    h = e[1] - e[0]
    half = int(np.ceil(5.0 * sigma / h))
    x = np.arange(-half, half + 1) * h
    kernel = np.exp(-0.5 * (x / sigma) ** 2)
    kernel /= kernel.sum()
    padded = np.concatenate([np.full(half, mu[0]), mu, np.full(half, mu[-1])])
    return np.convolve(padded, kernel, mode="valid")


def computed_from_sig(path, ef_ev, fwhm):
    """The .sig total cross-section on a fine even grid (eV above the interstitial zero), zero
    below its first point (no state below the interstitial zero), cut at E_F when given,
    convolved, then normalised."""
    e, mu = read_sig(path)
    lo = min(e[0], ef_ev if ef_ev is not None else e[0]) - 20.0
    fine = np.arange(lo, e[-1] + FINE_STEP / 2, FINE_STEP)
    m = np.interp(fine, e, mu, left=0.0, right=mu[-1])
    if ef_ev is not None:
        m[fine < ef_ev] = 0.0
    m = gaussian(fine, m, fwhm)
    e0, norm = normalise(fine, m)
    return fine, norm, e0


def computed_from_xdi(path):
    e, mu = read_xdi(path)
    fine = np.arange(e[0], e[-1] + FINE_STEP / 2, FINE_STEP)
    m = np.interp(fine, e, mu)
    return fine, m, largest_derivative(fine, m)


def local_maxima(e, mu, lo, hi):
    inner = (mu[1:-1] > mu[:-2]) & (mu[1:-1] >= mu[2:])
    idx = np.nonzero(inner)[0] + 1
    return [e[i] for i in idx if lo < e[i] <= hi]


def best_shift(em, mm, ec, mc, guess, span):
    """The shift s (eV, on the 0.05 eV grid about guess) that maximises Pearson's r between
    mm and the computed spectrum evaluated at em - s."""
    best = (-2.0, guess)
    for s in guess + np.arange(-span, span + FINE_STEP / 2, FINE_STEP):
        c = np.interp(em - s, ec, mc)
        if np.std(c) == 0:
            continue
        r = np.corrcoef(mm, c)[0, 1]
        if r > best[0]:
            best = (r, s)
    return best


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("measured", help="XDI file of the measured spectrum (energy eV, mu)")
    ap.add_argument("computed", help="korva .sig plot file, or an XDI file (energy eV, mu)")
    ap.add_argument("--fermi", metavar="FILE", help="cut at E_F from this data file's header")
    ap.add_argument("--ef-ry", type=float, help="cut at this E_F (Ry above the zero)")
    ap.add_argument("--fwhm", type=float, default=0.0, help="Gaussian FWHM, eV (default 0)")
    ap.add_argument("--span", type=float, default=25.0, help="shift search +- eV (default 25)")
    a = ap.parse_args()

    em_all, mu_all = read_xdi(a.measured)
    e0m, nm = normalise(em_all, mu_all, pre=(-150.0, -30.0))
    if a.computed.endswith(".sig"):
        ef = fermi_level_ev(a.fermi) if a.fermi else (
            a.ef_ry * EV_PER_RY if a.ef_ry is not None else None)
        ec, mc, e0c = computed_from_sig(a.computed, ef, a.fwhm)
    else:
        ef = None
        ec, mc, e0c = computed_from_xdi(a.computed)

    win = (em_all >= e0m + WINDOW[0]) & (em_all <= e0m + WINDOW[1])
    em, mm = em_all[win], nm[win]
    r, shift = best_shift(em, mm, ec, mc, e0m - e0c, a.span)

    print("measured  %s: E0 %.2f eV" % (a.measured, e0m))
    where = " above its zero" if a.computed.endswith(".sig") else ""
    print("computed  %s: E0 %.2f eV%s%s, FWHM %.2f eV" % (
        a.computed, e0c, where, "" if ef is None else ", cut at E_F %.2f eV" % ef, a.fwhm))
    print("shift     %.2f eV (computed E0 at %.2f eV; E0 difference %+.2f eV)" % (
        shift, e0c + shift, e0c + shift - e0m))
    print("pearson_r %.4f over E0%+g..E0%+g eV (%d measured points)" % (
        r, WINDOW[0], WINDOW[1], len(em)))
    meas_peaks = local_maxima(em, mm, e0m, e0m + WINDOW[1])[:PEAKS]
    comp_peaks = local_maxima(ec + shift, mc, e0m - 10.0, e0m + WINDOW[1] + 10.0)
    for i, p in enumerate(meas_peaks):
        if comp_peaks:
            q = min(comp_peaks, key=lambda x: abs(x - p))
            print("peak%d     measured %+.2f eV, computed %+.2f eV, offset %+.2f eV" % (
                i + 1, p - e0m, q - e0m, q - p))
        else:
            print("peak%d     measured %+.2f eV, no computed maximum" % (i + 1, p - e0m))


if __name__ == "__main__":
    main()
