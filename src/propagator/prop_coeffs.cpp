#include "propagator/prop_coeffs.hpp"

#include <cmath>

#include "common/units.hpp"
#include "propagator/cgc.hpp"

namespace korva {

void build_general_coeffs(int lmax, int mmax, std::vector<real>& sq, std::vector<real>& coe) {
    sq.clear();
    coe.clear();
    std::vector<real> a;  // sqrt(2l''+1) (l l' l''; 0 0 0) at l'', the same for every (m, m')
    for (int l = 0; l <= lmax; ++l) {
        for (int lp = 0; lp <= l; ++lp) {
            sq.push_back(std::sqrt(pi_f * static_cast<real>((2 * l + 1) * (2 * lp + 1) * 4)));
            a.assign(static_cast<std::size_t>(l + lp + 1), 0.0f);
            for (int l2 = l - lp; l2 <= l + lp; l2 += 2)
                a[static_cast<std::size_t>(l2)] =
                    std::sqrt(static_cast<real>(2 * l2 + 1)) * c3j(l, lp, l2, 0, 0, 0);
            const int mu = std::min(l, mmax);
            const int mup = std::min(lp, mmax);
            for (int m = 0; m <= mu; ++m) {
                for (int mp = -mup; mp <= mup; ++mp) {
                    const int d = mp - m;
                    const real sgn = mp % 2 == 0 ? 1.0f : -1.0f;
                    for (int l2 = prop_lmin(l, lp, d); l2 <= l + lp; l2 += 2)
                        coe.push_back(sgn * a[static_cast<std::size_t>(l2)] *
                                      c3j(l, lp, l2, m, -mp, d));
                }
            }
        }
    }
}

}  // namespace korva
