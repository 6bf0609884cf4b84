// Regular solution of the radial Schroedinger equation inside a muffin-tin sphere at a complex
// energy, returned as its value and radial derivative at the sphere radius.
#pragma once

#include <complex>
#include <functional>
#include <vector>

namespace korva::psgen {

using cdouble = std::complex<double>;

// Rydberg units (hbar^2/2m = 1, lengths in Bohr): -u'' + (V(r) + l(l+1)/r^2) u = E u, R = u/r.
// The potential is the one inside the sphere, complex where it carries an absorptive part (the
// photoelectron's self-energy); it is also evaluated one grid step beyond the radius, so it must
// continue smoothly there. A real potential (a function returning double) converts.
using radial_potential = std::function<cdouble(double r)>;

struct radial_boundary {
    cdouble value;  // R(rmt), arbitrary scale
    cdouble slope;  // dR/dr at rmt, same scale
};

// Numerov integration on a logarithmic mesh r = exp(x) with u = r^{1/2} w, so that
// w'' = (r^2 (V - E) + (l + 1/2)^2) w has no singular term at the origin. The step in x is at most
// 0.004 and shrinks with the largest |r^2 (V - E)| + (l + 1/2)^2 on the mesh, so that a steep
// barrier or a high energy gets as many points per decay length or wavelength as a weak one.
radial_boundary radial_solve(const radial_potential& v, double rmt, cdouble energy, int l);

// The same solution on the whole mesh: radii (Bohr) and R(r) on the same scale as the boundary
// values radial_solve returns; the last point is rmt.
struct radial_wave {
    std::vector<double> r;
    std::vector<cdouble> R;
    radial_boundary boundary;
};
radial_wave radial_solution(const radial_potential& v, double rmt, cdouble energy, int l);

// Number of mesh intervals radial_solve uses from the first mesh point to rmt.
int radial_mesh_size(const radial_potential& v, double rmt, cdouble energy, int l);

// Screened Coulomb potential of a nucleus of charge z: V(r) = -2 z/r exp(-r/a), Rydberg.
struct screened_coulomb {
    double z;
    double a;  // screening length, Bohr
    double operator()(double r) const;
};

// Thomas-Fermi screening length 0.8853 z^{-1/3} Bohr.
double thomas_fermi_length(double z);

// The neutral atom's Thomas-Fermi potential, V(r) = -2 Z/r phi(r/b) with b the Thomas-Fermi
// length, in Moliere's approximation phi(x) = 0.35 e^{-0.3 x} + 0.55 e^{-1.2 x} + 0.10 e^{-6 x}:
// three screened Coulomb terms. Unlike a single exp(-r/b), it keeps the slowly screened outer
// part of the atom, which sets the phase of the back-scattering amplitude.
struct thomas_fermi_atom {
    double z;
    double b;  // Thomas-Fermi length, Bohr
    double operator()(double r) const;
};

// The potential the tool uses for an atom type of nuclear charge z.
thomas_fermi_atom type_potential(double z);

}  // namespace korva::psgen
