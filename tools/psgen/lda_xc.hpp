// Exchange-correlation of the spin-unpolarised local-density approximation, from libxc: Slater
// exchange with Vosko-Wilk-Nusair correlation, the functional of the NIST atomic reference data.
#pragma once

#include <vector>

namespace korva::psgen {

// The two parametrisations libxc offers under the VWN name. The NIST tables are reproduced by
// vwn5 (the fit to Ceperley-Alder's quantum Monte Carlo energies); vwn_rpa is kept for the test
// that shows the difference.
enum class vwn_variant { vwn5, vwn_rpa };

struct xc_values {
    std::vector<double> eps;  // energy per electron, Hartree
    std::vector<double> v;    // potential d(rho eps)/d rho, Hartree
};

// Values at each density rho (electrons per Bohr^3, >= 0). relativistic: exchange with the
// relativistic correction of the homogeneous gas (MacDonald and Vosko), as the scalar-relativistic
// NIST data used it; correlation stays non-relativistic.
xc_values lda_xc(const std::vector<double>& rho, vwn_variant variant = vwn_variant::vwn5,
                 bool relativistic = false);

}  // namespace korva::psgen
