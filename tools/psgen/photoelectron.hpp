// The potential the photoelectron sees inside each muffin-tin sphere, Rydberg units, measured
// from the interstitial level: Coulomb potential of the superposed atoms plus exchange and
// correlation, either the Hedin-Lundqvist self-energy (complex and energy-dependent), the
// energy-dependent Dirac-Hara exchange or the ground-state LDA exchange-correlation.
#pragma once

#include <complex>
#include <optional>
#include <vector>

#include "cluster_potential.hpp"
#include "self_energy.hpp"

namespace korva::psgen {

enum class exchange_model { hedin_lundqvist, dirac_hara, lda };

// Dirac-Hara exchange of an electron of kinetic energy e (Ry, above the interstitial level) in
// a gas of density rho (Bohr^-3), Rydberg: -(4 k_F/pi) F(p/k_F), k_F = (3 pi^2 rho)^(1/3), local
// momentum p = sqrt(k_F^2 + e), F(x) = 1/2 + (1 - x^2)/(4x) ln|(1 + x)/(1 - x)|. At e = 0 it is
// the Kohn-Sham (Gaspar) exchange -2 k_F/pi; it falls off as 1/e at high energy.
double dirac_hara(double rho, double e);

// The local momentum of the Hedin-Lundqvist self-energy (1/Bohr): p^2 = k_F(rho)^2 + e - e_f,
// the photoelectron's energy above the Fermi level e_f (both kinetic energies above the
// interstitial level, Ry) added to the local Fermi energy; 0 where that is negative (below the
// Fermi level in a thin density).
double local_momentum(double rho, double e, double e_f);

class photo_model {
  public:
    photo_model(const cluster_potential& c, exchange_model x);
    // The Fermi level, Ry above the interstitial level: the Hedin-Lundqvist local momentum is
    // measured from it (0 until it is set).
    void set_fermi(double fermi) { fermi_ = fermi; }
    // The real interstitial level at kinetic energy e with the Fermi level put at e: the level
    // the Fermi level is measured from on this model's energy scale.
    double level_at_fermi(double e) const;
    // Interstitial level at kinetic energy e, Rydberg: its real part (V0) the mean over all atoms
    // of the deck of the real potential at their muffin-tin radius, its imaginary part the same
    // mean of Im Sigma (0 for the real exchange models).
    cdouble interstitial(double e) const;
    // V(r) + Sigma(r, e) - v0 of phase set t (from 0) at energy e, Rydberg.
    cdouble operator()(int t, double r, double e, cdouble v0) const;
    // The real part alone (the potential of the atomic cross-section).
    double real_part(int t, double r, double e, double v0) const;
    const cluster_potential& cluster() const { return c_; }
    double fermi() const { return fermi_; }

  private:
    cdouble exchange(int t, double r, double e, double fermi) const;
    cdouble level(double e, double fermi) const;
    const cluster_potential& c_;
    exchange_model x_;
    double fermi_ = 0.0;
    std::vector<std::vector<double>> vxc_;  // LDA v_xc on each type's grid, Rydberg
    std::optional<hl_table> hl_;            // built for the densities of the spheres
};

}  // namespace korva::psgen
