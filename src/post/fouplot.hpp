// Writes the magnitude of the Fourier transform of the windowed, k-weighted chi(k) for R = 0..8.
#pragma once
#include <ostream>
#include <string>

#include "common/types.hpp"

namespace korva {

// The header flag of the Fourier plot, owned by the run: the header lines are written by the
// first call only.
struct fouplot_state {
    bool new_plot = true;
};

// Writes on `file` (already connected) the header (first call only), 201 data lines R, |F(R)|
// for R = 0, 0.04, .., 8 (Angstrom), with F(R) the sum over mesh points of exp(2 i R k) chi W A
// (W the window from k1 to k2 with Gaussian tapers 1.5 wide, A = k^esp dk when esp > 0, else 1),
// and the closing lines with the 11-character `name` as main title.
void fouplot(fouplot_state& st, std::ostream& file, int npi, int nmesh, const real* kmesh,
             const real* chimesh, real k1, real k2, real esp, const std::string& name);

}  // namespace korva
