// Capacities and fixed sizes of the program; the first five are printed at start-up.
#pragma once

namespace korva {
constexpr int NAT_ = 99;                            // atoms
constexpr int NER_ = 150;                           // energy points
constexpr int NPH_ = 6;                             // phase sets (atom types)
constexpr int LMPH_ = 35;                           // largest l of the phase-shift table
constexpr int NDM_ = 5000;                          // order of the scattering matrix
constexpr int NPI_ = 300;                           // points of the k mesh
constexpr int LMAX_ = 100;                          // largest order of the spherical harmonics
constexpr int LPROP_ = 20;                          // largest l of any propagator
constexpr int LDGG_ = (LPROP_ + 1) * (LPROP_ + 1);  // 441, leading dimension of gg
constexpr int NYLM_ = (2 * LPROP_ + 1) * (2 * LPROP_ + 1);  // 1681, column length of ylm
constexpr int NBOND_ = NAT_ * (NAT_ - 1) / 2;               // 4851 bonds
constexpr int MINLEV_ = 2;                                  // smallest level count of the recursion
constexpr int MAXLEV_ = 20;                                 // largest level count of the recursion
}  // namespace korva
