#include "propagator/prop1.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/channels.hpp"
#include "common/textio.hpp"
#include "propagator/cgc.hpp"
#include "propagator/prop_common.hpp"
#include "propagator/radial.hpp"

namespace korva {

namespace {
constexpr int NIND = 10000;  // coefficients the table is meant to hold
constexpr int LCUT = 18;     // largest cut-off the table is meant for

void build(prop1_table& t, int lmax, int mmax) {
    t.coe.clear();
    t.sq.assign(static_cast<std::size_t>(std::max(0, (lmax + 1) * (lmax + 2) / 2)), 0.0f);
    t.h.assign(static_cast<std::size_t>(std::max(0, 2 * lmax + 1)), cplx(0.0f, 0.0f));
    std::vector<real> a;
    for (int l = 0; l <= lmax; ++l) {
        for (int lp = 0; lp <= l; ++lp) {
            t.sq[static_cast<std::size_t>(l * (l + 1) / 2 + lp)] =
                std::sqrt(static_cast<real>((2 * lp + 1) * (2 * l + 1)));
            // (2l''+1) (l l' l''; 0 0 0) at l'', the same for every m.
            a.assign(static_cast<std::size_t>(l + lp + 1), 0.0f);
            for (int l2 = l - lp; l2 <= l + lp; l2 += 2)
                a[static_cast<std::size_t>(l2)] =
                    static_cast<real>(2 * l2 + 1) * c3j(l, lp, l2, 0, 0, 0);
            for (int m = 0; m <= std::min(lp, mmax); ++m) {
                const real sgn = m % 2 == 0 ? 1.0f : -1.0f;
                for (int l2 = l - lp; l2 <= l + lp; l2 += 2)
                    t.coe.push_back(sgn * a[static_cast<std::size_t>(l2)] *
                                    c3j(l, lp, l2, m, -m, 0));
            }
        }
    }
    t.lmax = lmax;
    t.mmax = mmax;
}
}  // namespace

void prop1(prop1_table& t, std::ostream& out, int ld, int lmax, int mmax, cplx k, real r,
           cplx* gg) {
    prepare_table(t, out, "PROP1", LCUT, NIND, "SUBROUTINE  \"PROP1\" INCREASE PARAMETER NIND TO",
                  lmax, mmax, build);

    const cplx rho(k.real() * r, k.imag() * r);
    for (int l = 0; l <= 2 * lmax; ++l) t.h[static_cast<std::size_t>(l)] = radial_factor(rho, l);

    const real* coe = t.coe.data();
    const cplx* h = t.h.data();
    for (int l = 0; l <= lmax; ++l) {
        const int i1 = layout_centre(l, mmax);
        const int mu = std::min(l, mmax);
        for (int lp = 0; lp <= l; ++lp) {
            const int i2 = layout_centre(lp, mmax);
            const int mup = std::min(lp, mmax);
            const real sqv = t.sq[static_cast<std::size_t>(l * (l + 1) / 2 + lp)];
            for (int m = 0; m <= mu; ++m) {
                for (int mp = -mup; mp <= mup; ++mp) {
                    cplx soi(0.0f, 0.0f);
                    if (m == mp) {
                        for (int l2 = l - lp; l2 <= l + lp; l2 += 2) soi += *coe++ * h[l2];
                        soi = -sqv * soi;
                    }
                    gg_at(gg, ld, i1 + m, i2 + mp) = soi;
                    gg_at(gg, ld, i2 + mp, i1 + m) = soi;
                    if (m > 0) {
                        gg_at(gg, ld, i1 - m, i2 - mp) = soi;
                        gg_at(gg, ld, i2 - mp, i1 - m) = soi;
                    }
                }
            }
        }
    }
}

}  // namespace korva
