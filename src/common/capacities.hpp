// Capacities and fixed sizes of the program; the first five are printed at start-up. The five
// are chosen when the program is built (CMake cache variables KORVA_NAT, KORVA_NER, KORVA_NPH,
// KORVA_LMPH and KORVA_NDM); the defaults below are the standard build's.
#pragma once

#ifndef KORVA_NAT
#define KORVA_NAT 99
#endif
#ifndef KORVA_NER
#define KORVA_NER 150
#endif
#ifndef KORVA_NPH
#define KORVA_NPH 6
#endif
#ifndef KORVA_LMPH
#define KORVA_LMPH 35
#endif
#ifndef KORVA_NDM
#define KORVA_NDM 5000
#endif

namespace korva {
constexpr int NAT_ = KORVA_NAT;                     // atoms
constexpr int NER_ = KORVA_NER;                     // energy points
constexpr int NPH_ = KORVA_NPH;                     // phase sets (atom types)
constexpr int LMPH_ = KORVA_LMPH;                   // largest l of the phase-shift table
constexpr int NDM_ = KORVA_NDM;                     // order of the scattering matrix
constexpr int NPI_ = 300;                           // points of the k mesh
constexpr int LMAX_ = 100;                          // largest order of the spherical harmonics
constexpr int LPROP_ = 20;                          // largest l of any propagator
constexpr int LDGG_ = (LPROP_ + 1) * (LPROP_ + 1);  // 441, leading dimension of gg
constexpr int NYLM_ = (2 * LPROP_ + 1) * (2 * LPROP_ + 1);  // 1681, column length of ylm
constexpr int MINLEV_ = 2;                                  // smallest level count of the recursion
constexpr int MAXLEV_ = 20;                                 // largest level count of the recursion

static_assert(NAT_ >= 2 && NER_ >= 4 && NPH_ >= 1 && LMPH_ >= 2 && NDM_ >= 2,
              "a capacity too small for any run");
}  // namespace korva
