// The Hedin-Lundqvist self-energy of the homogeneous electron gas: the GW self-energy with
// Lundqvist's single plasmon pole for the inverse dielectric function, on the energy shell of the
// free electron, and its table over density and momentum.
#pragma once

#include <complex>
#include <vector>

namespace korva::psgen {

using cdouble = std::complex<double>;

// The electron gas of density parameter rs (Bohr: 4 pi rs^3 / 3 = 1/n), Hartree units, and the
// plasmon pole of L. Hedin and S. Lundqvist, Solid State Phys. 23, 1 (1969) after B. I.
// Lundqvist, Phys. Kondens. Mater. 6, 193 (1967):
//   1/eps(q, w) = 1 + w_p^2 / (w^2 - w_q^2),  w_q^2 = w_p^2 + (k_F^2/3) q^2 + (q^2/2)^2,
// w_p^2 = 4 pi n. The q^2 term makes the static screening Thomas-Fermi's, 1/eps(q, 0) =
// q^2 / (q^2 + k_TF^2); the q^4 term joins the pole to the free electron-hole pair at large q.
struct electron_gas {
    double rs, kf, wp;
    explicit electron_gas(double rs);
    double wq(double q) const;  // Hartree
};

// Parts of Sigma(k, k^2/2) of the gas, Hartree, retarded (Im <= 0): the bare exchange
// (Hartree-Fock) -(k_F/pi) [1 + (k_F^2 - k^2)/(2 k k_F) ln|(k + k_F)/(k - k_F)|], and the plasmon
// part, the quadrature of its one-dimensional integral over q (its poles in closed form).
double exchange_part(const electron_gas& g, double k);
cdouble plasmon_part(const electron_gas& g, double k);

// Turns GSL's error handler (which aborts) off for the process: the quadratures return their
// estimate with a status instead. hl_self_energy and hl_table call it before any quadrature.
void quiet_gsl();

// The self-energy of an electron of momentum p = x k_F on the shell of the free electron,
// Sigma(p, p^2/2), converted to Rydberg: what the photoelectron of local momentum p feels in a gas
// of density parameter rs. Direct quadrature (tens of microseconds).
cdouble hl_self_energy(double rs, double x);

// The on-shell momentum k of the gas above which an electron can emit a plasmon: the least over q
// of max((q^2/2 + w_q)/q, sqrt(k_F^2 + 2 w_q)) (the state k - q must lie below k and above
// k_F). Below it Im Sigma is 0, and Re Sigma has a logarithmic cusp there. Hartree units.
double plasmon_threshold(const electron_gas& g);

// Sigma(p, p^2/2) (Rydberg) tabulated once over the density parameter and x = p/k_F, and
// interpolated by bicubic Lagrange polynomials. The x axis of each row is split at the plasmon
// threshold x_th(rs), so that no stencil straddles its cusp: below it nodes even in
// sqrt(u_th - u) (u = ln(1 + x)), above it even in sqrt(u - u_th), dense at the cusp. Rows are
// even in ln rs; only the rows of the range a run asks for are computed (the nodes are the same
// in every run). Against the direct quadrature: within 2e-3 of |Sigma| everywhere, 5e-4 Ry at
// valence densities (rs 0.5..8), 4e-8 Ry in the median (tools/psgen/README.md).
// Outside rs_min..rs_max Sigma/k_F keeps its value at the nearer end (exchange dominates at high
// density, and everything is small at low); beyond x_max the real part falls as 1/x and the
// imaginary as ln(x)/x, the model's high-energy forms.
class hl_table {
  public:
    static constexpr double rs_min = 0.005, rs_max = 50.0, x_max = 600.0;
    static constexpr int n_rs = 93;      // rows, even in ln rs (step 0.1)
    static constexpr int n_below = 40;   // nodes from x = 0 to the threshold
    static constexpr int n_above = 100;  // nodes from the threshold to x_max and beyond
    // Computes the rows that cover rs_lo..rs_hi (clamped to the table's range).
    hl_table(double rs_lo, double rs_hi);
    // Sigma (Rydberg) at density rho (electrons per Bohr^3) and momentum p (1/Bohr); rho <= 0
    // gives 0.
    cdouble operator()(double rho, double p) const;
    // The same at density parameter rs and x = p / k_F.
    cdouble at(double rs, double x) const;

  private:
    struct row {
        double u_th = 0.0;                  // ln(1 + x_th)
        std::vector<cdouble> below, above;  // Sigma / k_F, Rydberg Bohr
    };
    row make_row(int i) const;
    int first_ = 0;  // index of rows_[0] among the n_rs rows
    std::vector<row> rows_;
};

}  // namespace korva::psgen
