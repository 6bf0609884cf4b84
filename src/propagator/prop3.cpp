#include "propagator/prop3.hpp"

#include <algorithm>
#include <cmath>
#include <complex>

#include "common/channels.hpp"
#include "common/textio.hpp"
#include "propagator/hank.hpp"
#include "propagator/prop_coeffs.hpp"
#include "propagator/prop_common.hpp"
#include "propagator/radial.hpp"

namespace korva {

namespace {
constexpr int NIND = 50000;  // coefficients the table is meant to hold
constexpr int LCUT = 15;     // largest cut-off the table is meant for

void build(prop3_table& t, int lmax, int mmax) {
    build_general_coeffs(lmax, mmax, t.sq, t.coe);
    const int nl = std::max(0, 2 * lmax + 1);
    t.hy.assign(static_cast<std::size_t>(nl * nl), cplx(0.0f, 0.0f));
    t.phase.assign(static_cast<std::size_t>(std::max(0, 2 * nl - 1)), cplx(0.0f, 0.0f));
    t.lmax = lmax;
    t.mmax = mmax;
}
}  // namespace

void prop3(prop3_table& t, std::ostream& out, int ld, int lmax, int mmax, cplx k, real r,
           const real* ycol, real phi, cplx* gg) {
    prepare_table(t, out, "PROP3", LCUT, NIND, "SUBROUTINE \"PROP3\" INCREASE PARAMETER NIND TO",
                  lmax, mmax, build);

    // exp(i m phi) depends on m alone: one exponential per m, the same value for every l.
    // Formed in double and rounded once: m phi in single precision would be off by up to
    // 40 x 2 pi ulps of phase at m = 40, a relative error of 1e-5 in the largest terms.
    cplx* phase = t.phase.data() + 2 * lmax;
    for (int m = -2 * lmax; m <= 2 * lmax; ++m) {
        const double a = static_cast<double>(m) * static_cast<double>(phi);
        phase[m] = cplx(static_cast<real>(std::cos(a)), static_cast<real>(std::sin(a)));
    }
    const cplx rho(k.real() * r, k.imag() * r);
    cplx* hy = t.hy.data();
    for (int l = 0; l <= 2 * lmax; ++l) {
        const cplx hl = radial_factor(rho, l);
        for (int m = -l; m <= l; ++m)
            hy[l * (l + 1) + m] = cmul(ycol[l * (l + 1) + m] * hl, phase[m]);
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
                    cplx s(0.0f, 0.0f);
                    for (int l2 = prop_lmin(l, lp, d); l2 <= l + lp; l2 += 2) {
                        const real c = *coe++;
                        soi += c * hy[l2 * (l2 + 1) + d];
                        s += c * hy[l2 * (l2 + 1) - d];
                    }
                    soi = -(soi * sqv);
                    s = -(s * sqv);
                    gg_at(gg, ld, i1 + m, i2 + mp) = soi;
                    gg_at(gg, ld, i2 + mp, i1 + m) = sgmmp * s;
                    if (m > 0) {
                        gg_at(gg, ld, i1 - m, i2 - mp) = s;
                        gg_at(gg, ld, i2 - mp, i1 - m) = sgmmp * soi;
                    }
                }
            }
        }
    }
}

}  // namespace korva
