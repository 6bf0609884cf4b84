#include "driver/loop_prepare.hpp"

#include <algorithm>

#include "common/errors.hpp"
#include "common/textio.hpp"
#include "driver/energy_loop.hpp"

namespace korva {

ylm_table bond_harmonics(const bond_list& bonds, int lmxtop, std::ostream& out) {
    const int nb = bonds.count();
    const int lylm = 2 * lmxtop;
    ylm_table ylm(nb > 1 ? nb - 1 : 0, (lylm + 1) * (lylm + 1));
    for (int b = 2; b <= nb; ++b)
        fill_ylm_column(out, static_cast<double>(bonds.cbond[b - 1]), lylm, ylm.column(b - 1));
    return ylm;
}

point_range fitting_points(const point_cutoffs& cut, const run_parameters& p, int nen,
                           std::ostream& out) {
    int stop_at = -1, nmax = 0;
    for (int e = 1; e <= nen; ++e) {
        const int n = layout_at(cut, p.iph, p.mmax, e).order();
        if (n > NDM_) {
            out << (record() << "  *** WARNING  DIMENSION OF MATRIX GT IN "
                             << "PROGRAM \"KORVA\" IS NOT SUFFICIENT AT KEN=" << e << " ***");
            out << (record() << "  *** INCREASE PARAMETER NDM_=" << NDM_ << "  TO" << n
                             << " AT LEAST ***");
            if (stop_at < 0) stop_at = e - 1;
        } else if (stop_at < 0) {
            nmax = std::max(nmax, n);
        }
    }
    if (stop_at < 0) return {nen, nmax};
    out << (record() << "      ");
    out << (record() << "  *** THE PRESENT CALCULATION WILL BE STOPPED AT KEN =" << stop_at);
    out << (record() << "      ");
    if (stop_at == 0)
        stop(out, " *** ERROR: NO ENERGY POINT FITS THE MATRIX; NOTHING TO COMPUTE ***");
    return {stop_at, nmax};
}

void check_points(const phase_table& t, const point_cutoffs& cut, const run_parameters& p, int nen,
                  int nch, std::ostream& out) {
    for (int e = 1; e <= nen; ++e) {
        if (t.ckph(e) == cplx(0.0f, 0.0f))
            stop(out, " *** ERROR: THE WAVE NUMBER OF ENERGY POINT", e,
                 "IS ZERO; THE PROPAGATORS NEED K > 0 ***");
        for (int c = 1; c <= nch; ++c) {
            const int l0 = channel_l0(p.lcore, c);
            if (t.til(e, l0, p.iph[0]) == cplx(0.0f, 0.0f))
                stop(out, " *** ERROR: T_L OF THE ABSORBING ATOM IS ZERO FOR L =", l0,
                     "AT ENERGY POINT", e, "***");
            const int l1 = cut.l(p.iph[0], e);
            if (l1 < l0 || p.mmax < l0)
                stop(out, " *** ERROR: CHANNEL L0 =", l0,
                     "IS MISSING FROM THE ABSORBING ATOM AT ENERGY POINT", e, "(ITS LMAX =", l1,
                     ", MMAX =", p.mmax, "); RAISE TOLL_lmax SENSITIVITY OR Mmax ***");
        }
    }
}

}  // namespace korva
