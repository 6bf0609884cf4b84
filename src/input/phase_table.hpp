// The phase-shift table: energies, wave numbers, scattering amplitudes and cross sections
// of every energy point, as the phase-shift and cross-section files give them.
#pragma once
#include <array>
#include <vector>

#include "common/capacities.hpp"
#include "common/types.hpp"

namespace korva {

struct phase_table {
    int nen = 0;     // energy points read
    int nphs = 0;    // largest phase-set index stored
    int lmxall = 0;  // largest l among all phase sets and energy points

    // Energy index e = 1..NER_, l = 0..LMPH_, phase set p = 1..NPH_, channel c = 1, 2.
    real& eph(int e) { return eph_[e - 1]; }
    real eph(int e) const { return eph_[e - 1]; }
    cplx& ckph(int e) { return ckph_[e - 1]; }
    cplx ckph(int e) const { return ckph_[e - 1]; }
    cplx& til(int e, int l, int p) { return til_[tix(e, l, p)]; }
    cplx til(int e, int l, int p) const { return til_[tix(e, l, p)]; }
    cplx& sig0c(int e, int c) { return sig0c_[(c - 1) * NER_ + e - 1]; }
    cplx sig0c(int e, int c) const { return sig0c_[(c - 1) * NER_ + e - 1]; }
    real& sig0(int e, int c) { return sig0_[(c - 1) * NER_ + e - 1]; }
    real sig0(int e, int c) const { return sig0_[(c - 1) * NER_ + e - 1]; }
    int& lmxp(int p, int e) { return lmxp_[(e - 1) * NPH_ + p - 1]; }
    int lmxp(int p, int e) const { return lmxp_[(e - 1) * NPH_ + p - 1]; }
    int& lmxa(int p) { return lmxa_[p - 1]; }
    int lmxa(int p) const { return lmxa_[p - 1]; }
    // Change point c = 1..LMPH_ of phase set p: which = 1 for KEN, 2 for LMAX.
    int& kenlmx(int p, int c, int which) {
        return kenlmx_[((which - 1) * LMPH_ + c - 1) * NPH_ + p - 1];
    }
    int kenlmx(int p, int c, int which) const {
        return kenlmx_[((which - 1) * LMPH_ + c - 1) * NPH_ + p - 1];
    }
    int& nken(int p) { return nken_[p - 1]; }
    int nken(int p) const { return nken_[p - 1]; }

  private:
    static int tix(int e, int l, int p) { return ((p - 1) * (LMPH_ + 1) + l) * NER_ + e - 1; }
    std::vector<real> eph_ = std::vector<real>(NER_, 0.0f);
    std::vector<cplx> ckph_ = std::vector<cplx>(NER_);
    std::vector<cplx> til_ = std::vector<cplx>(NER_ * (LMPH_ + 1) * NPH_);
    std::vector<cplx> sig0c_ = std::vector<cplx>(2 * NER_);
    std::vector<real> sig0_ = std::vector<real>(2 * NER_, 0.0f);
    std::vector<int> lmxp_ = std::vector<int>(NPH_ * NER_, 0);
    std::vector<int> lmxa_ = std::vector<int>(NPH_, 0);
    std::vector<int> kenlmx_ = std::vector<int>(NPH_ * LMPH_ * 2, 0);
    std::vector<int> nken_ = std::vector<int>(NPH_, 0);
};

}  // namespace korva
