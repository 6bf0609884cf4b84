"""korva.cluster, korva.phase_shifts and korva.xas give what korva-cluster, korva-psgen and
korva-xas give for the same input."""

import dataclasses
import subprocess

import numpy as np
import pytest

import korva
from conftest import EXAMPLES, SOURCE, TOOLS

CIF = SOURCE / "tests" / "tools" / "data" / "cluster" / "cu_fcc.cif"
XYZ = SOURCE / "tests" / "tools" / "data" / "cluster" / "sf6.xyz"


def tool(name, *args, cwd):
    p = subprocess.run([str(TOOLS / name / f"korva-{name}"), *map(str, args)], cwd=cwd,
                       capture_output=True, check=True)
    return p.stdout.decode()


def rows(c):
    """The cluster's atoms as sorted (distance, x, y, z, phase set) rows, to 1e-9 Angstrom."""
    table = np.column_stack([c.distances, c.positions, c.phase_sets]).round(9)
    return table[np.lexsort(table.T[::-1])]


def test_cluster_of_a_cif_is_korva_clusters(scratch):
    c = korva.cluster(CIF, "Cu1", 3.7)
    # README, "From a structure file": 19 atoms, shells of 12 at 2.5562 and 6 at 3.6150 A.
    assert len(c) == 19 and c.sets == [("Cu", 29), ("Cu", 29)]
    assert np.unique(c.distances.round(4), return_counts=True)[1].tolist() == [1, 12, 6]
    tool("cluster", CIF, "--absorber", "Cu1", "--radius", 3.7, "--deck", "deck.in", cwd=scratch)
    assert c.deck(folder=scratch) == korva.read_deck(scratch / "deck.in")


def test_ase_atoms_give_the_cluster_of_the_same_structure_file():
    ase = pytest.importorskip("ase")
    import ase.build
    import ase.io

    crystal = ase.build.bulk("Cu", "fcc", a=3.615)  # the primitive cell of the CIF's structure
    np.testing.assert_allclose(rows(korva.cluster(crystal, 0, 3.7)),
                               rows(korva.cluster(CIF, "Cu1", 3.7)), atol=1e-9)
    molecule = ase.io.read(XYZ)
    assert not any(molecule.pbc)
    np.testing.assert_array_equal(rows(korva.cluster(molecule, "S", 2.0)),
                                  rows(korva.cluster(XYZ, "S", 2.0)))
    with pytest.raises(korva.RunError, match="no element or atom number"):
        korva.cluster(molecule, "Fe", 2.0)


def test_phase_shifts_write_korva_psgens_files(scratch):
    c = korva.cluster(CIF, "Cu1", 2.6)  # 13 atoms, a short grid: seconds
    here, there = scratch / "here", scratch / "there"
    here.mkdir(), there.mkdir()
    ps = korva.phase_shifts(c, here, lmax=6, grid=["near-edge", 5, 40, 12])
    assert ps.t.shape == (12, 2, 7) and ps.fermi > 0
    assert sorted(p.name for p in here.iterdir()) == ["cu_fcc.ps", "cu_fcc.xs", "deck.in"]
    ps.deck.write(there / "deck.in")
    (there / "cu.psgen").write_text(ps.input)
    tool("psgen", "cu.psgen", cwd=there)
    for name in ("cu_fcc.ps", "cu_fcc.xs"):
        assert (here / name).read_bytes() == (there / name).read_bytes(), name
    r = korva.run(ps.deck)
    assert len(r.xtot) == 12 and np.all(np.isfinite(r.xtot))
    with pytest.raises(korva.RunError, match="korva-psgen: line"):
        korva.phase_shifts(c, here, lmax=-1)
    assert sorted(p.name for p in here.iterdir()) == ["cu_fcc.ps", "cu_fcc.xs", "deck.in"]


def test_xas_gives_korva_xas_spectrum_of_the_copper_example():
    r = korva.run_deck(EXAMPLES / "cu-k" / "deck.in")
    s = korva.xas(r, fermi=0.6)
    stored = (SOURCE / "tests" / "tools" / "data" / "xas" / "cu_k.xdi").read_text()
    # korva-xas ran in the example's folder with "deck.in -o cu.xdi --fermi 0.6".
    got = [ln for ln in s.xdi.splitlines() if not ln.startswith("# Korva.deck:")]
    assert got == [ln for ln in stored.splitlines() if not ln.startswith("# Korva.deck:")]
    assert s.element == "Cu" and s.edge == "K" and abs(s.e0 - 8979.1) < 0.05
    with pytest.raises(korva.RunError, match="--resolution 0.0: the resolution must be"):
        korva.xas(r, resolution=0)


def test_normalise_a_measured_spectrum():
    e, mu = np.loadtxt(EXAMPLES / "cu-k" / "cu_metal_10K.xdi", unpack=True)
    norm, e0, step = korva.normalise(e, mu)
    assert 8975 < e0 < 8982 and step > 0  # the foil's edge, 8979 eV
    near_edge = (e > e0 + 20) & (e < e0 + 100)  # the step of 1, before the atomic decline
    assert abs(np.mean(norm[e < e0 - 30])) < 0.01 and abs(np.mean(norm[near_edge]) - 1) < 0.05


def test_xas_of_a_polarised_run_takes_the_asked_vector():
    # The planar molecule, with its cross sections written (IF1 = 1).
    deck = dataclasses.replace(korva.read_deck(EXAMPLES / "planar" / "deck.in"), if1=1)
    both = korva.run(deck, polarisations=[(1, 0, 0), (0, 0, 1)])
    alone = korva.run(deck, polarisations=[(0, 0, 1)])
    second, single = korva.xas(both, polarisation=2), korva.xas(alone)
    assert second.polarisation == single.polarisation.replace("e1", "e2") == "e2 = (0, 0, 1)"
    np.testing.assert_array_equal(second.mu, single.mu)
    assert "# Korva.polarisation: e2 = (0, 0, 1) (deck frame)" in second.xdi
    assert np.max(np.abs(korva.xas(both).mu - second.mu)) > 0.05  # in-plane against out
    with pytest.raises(korva.RunError, match="--polarisation 3: .* holds 2 polarisation"):
        korva.xas(both, polarisation=3)
