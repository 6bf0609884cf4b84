// The steps that take a computed absorption spectrum to what a spectrometer records: the cut at
// the Fermi level, the final state's energy-dependent lifetime width and the instrument's
// resolution, each on a regular energy grid.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace korva::xas {

// Values on the regular grid x0 + i * step (eV).
struct grid_spectrum {
    double x0 = 0.0;
    double step = 0.1;
    std::vector<double> mu;

    double x(std::size_t i) const { return x0 + step * static_cast<double>(i); }
};

// The piecewise-linear curve through (e, mu) (e strictly increasing, eV) at the grid points
// k * step (k whole) from e.front() to e.back(): the grid is anchored at 0, the Fermi level.
grid_spectrum resample(const std::vector<double>& e, const std::vector<double>& mu, double step);

// The share of a level at x (eV above the Fermi level) that can absorb once the occupied states
// are cut: the unit step broadened by a Lorentzian of half width gamma (eV, HWHM),
// 1/2 + arctan(x / gamma) / pi; the sharp step for gamma = 0.
double fermi_step(double x, double gamma);

// Each value times fermi_step of its grid point (the grid's x measured from the Fermi level).
grid_spectrum cut_at_fermi(const grid_spectrum& s, double gamma);

// The final state's lifetime width (FWHM, eV) against x = E - E_F, the arctangent law of
// O. Bunau and Y. Joly, J. Phys.: Condens. Matter 21, 345501 (2009):
//   Gamma(x) = Gamma_max (1/2 + 1/pi arctan(pi/3 Gamma_max/E_larg (e - 1/e^2))), e = x/E_cent,
// without the core-hole term (the computed spectrum carries that already); 0 at and below E_F,
// where the law tends to 0.
struct arctan_width {
    double gamma_max = 15.0;  // eV
    double e_cent = 30.0;     // eV
    double e_larg = 30.0;     // eV

    double operator()(double x) const;
};

// Every grid cell's content spread by a Lorentzian of full width fwhm(x_j) (eV) at the cell's
// own energy x_j; the spectrum continues beyond both ends as its end values, spread with the
// end widths. Each cell's Lorentzian is integrated over the receiving cells exactly, so a cell
// of width 0 stays where it is and every cell keeps its area.
grid_spectrum lorentzian(const grid_spectrum& s, const std::function<double(double)>& fwhm);

// The spectrum convolved with a unit-area Gaussian of the given full width at half maximum
// (eV), integrated over the receiving cells as lorentzian() does, the ends continued as
// constants. fwhm 0 returns it unchanged.
grid_spectrum gaussian(const grid_spectrum& s, double fwhm);

}  // namespace korva::xas
