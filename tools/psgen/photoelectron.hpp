// The potential the photoelectron sees inside each muffin-tin sphere, Rydberg units, measured
// from the interstitial level: Coulomb potential of the superposed atoms plus exchange, either
// the energy-dependent Dirac-Hara exchange or the ground-state LDA exchange-correlation.
#pragma once

#include <vector>

#include "cluster_potential.hpp"

namespace korva::psgen {

enum class exchange_model { dirac_hara, lda };

// Dirac-Hara exchange of an electron of kinetic energy e (Ry, above the interstitial level) in
// a gas of density rho (Bohr^-3), Rydberg: -(4 k_F/pi) F(p/k_F), k_F = (3 pi^2 rho)^(1/3), local
// momentum p = sqrt(k_F^2 + e), F(x) = 1/2 + (1 - x^2)/(4x) ln|(1 + x)/(1 - x)|. At e = 0 it is
// the Kohn-Sham (Gaspar) exchange -2 k_F/pi; it falls off as 1/e at high energy.
double dirac_hara(double rho, double e);

class photo_model {
  public:
    photo_model(const cluster_potential& c, exchange_model x);
    // Interstitial level at kinetic energy e, Rydberg: the mean over all atoms of the deck of
    // the potential at their muffin-tin radius.
    double interstitial(double e) const;
    // V(r) - V0 of phase set t (from 0) at energy e, Rydberg.
    double operator()(int t, double r, double e, double v0) const;
    const cluster_potential& cluster() const { return c_; }

  private:
    double exchange(int t, double r, double e) const;
    const cluster_potential& c_;
    exchange_model x_;
    std::vector<std::vector<double>> vxc_;  // LDA v_xc on each type's grid, Rydberg
};

}  // namespace korva::psgen
