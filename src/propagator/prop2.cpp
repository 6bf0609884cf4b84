#include "propagator/prop2.hpp"

#include <algorithm>

#include "common/channels.hpp"
#include "common/textio.hpp"
#include "propagator/prop_coeffs.hpp"
#include "propagator/prop_common.hpp"
#include "propagator/radial.hpp"

namespace korva {

namespace {
constexpr int NIND = 100000;  // coefficients the table is meant to hold
constexpr int LCUT = 18;      // largest cut-off the table is meant for

void build(prop2_table& t, int lmax, int mmax) {
    build_general_coeffs(lmax, mmax, t.sq, t.coe);
    const int nl = std::max(0, 2 * lmax + 1);
    t.hy.assign(static_cast<std::size_t>(nl * nl), cplx(0.0f, 0.0f));
    t.lmax = lmax;
    t.mmax = mmax;
}
}  // namespace

void prop2(prop2_table& t, std::ostream& out, int ld, int lmax, int mmax, cplx k, real r,
           const real* ycol, cplx* gg) {
    prepare_table(t, out, "PROP2", LCUT, NIND, "SUBROUTINE \"PROP2\" INCREASE PARAMETER NIND TO",
                  lmax, mmax, build);

    const cplx rho(k.real() * r, k.imag() * r);
    cplx* hy = t.hy.data();
    for (int l = 0; l <= 2 * lmax; ++l) {
        const cplx hl = radial_factor(rho, l);
        for (int m = -l; m <= l; ++m) hy[l * (l + 1) + m] = ycol[l * (l + 1) + m] * hl;
    }

    const real* coe = t.coe.data();
    const real* sq = t.sq.data();
    for (int l = 0; l <= lmax; ++l) {
        const int i1 = layout_centre(l, mmax);
        const int mu = std::min(l, mmax);
        for (int lp = 0; lp <= l; ++lp) {
            const real sqv = *sq++;
            const int i2 = layout_centre(lp, mmax);
            const int mup = std::min(lp, mmax);
            for (int m = 0; m <= mu; ++m) {
                for (int mp = -mup; mp <= mup; ++mp) {
                    const real sgmmp = (mp + m) % 2 == 0 ? 1.0f : -1.0f;
                    const int d = mp - m;
                    cplx soi(0.0f, 0.0f);
                    for (int l2 = prop_lmin(l, lp, d); l2 <= l + lp; l2 += 2)
                        soi += *coe++ * hy[l2 * (l2 + 1) + d];
                    soi = -(soi * sqv);
                    gg_at(gg, ld, i1 + m, i2 + mp) = soi;
                    gg_at(gg, ld, i2 + mp, i1 + m) = soi;
                    if (m > 0) {
                        gg_at(gg, ld, i1 - m, i2 - mp) = sgmmp * soi;
                        gg_at(gg, ld, i2 - mp, i1 - m) = sgmmp * soi;
                    }
                }
            }
        }
    }
}

}  // namespace korva
