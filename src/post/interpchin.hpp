// Interpolates the amplitude and phase of one channel onto the k mesh and adds its chi to the sum.
#pragma once
#include "common/types.hpp"

namespace korva {

// Value at x0 (and, when want_slope, the derivative) of the polynomial of degree n - 1
// through (x[0], y[0]) .. (x[n-1], y[n-1]), in Lagrange form; slope is 0 when not wanted.
// The abscissae must differ.
void minterp(const real* x, const real* y, int n, real x0, real& value, real& slope,
             bool want_slope);

// For mesh points 0..nmesh-1: amplitude a and phase p interpolated over the norder energy
// points from istart (1-based) on, chi[i] = sin(p) a, and chimesh[i] += chi[i].
void interpchin(int ner, const real* kwave, const real* amp, const real* phase, int norder, int npi,
                int nmesh, const real* kmesh, const int* istart, real* chi, real* chimesh);

}  // namespace korva
