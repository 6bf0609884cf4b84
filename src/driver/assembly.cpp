#include "driver/assembly.hpp"

#include <algorithm>

#include "common/channels.hpp"
#include "propagator/prop1.hpp"
#include "propagator/prop2.hpp"
#include "propagator/prop3.hpp"

namespace korva {

int atom_cutoff(const run_state& st, int i, int e) {
    return st.phases.lmxp(st.par.iph[i - 1], e);
}

int matrix_order(const run_state& st, int e) {
    int n = 0;
    for (int i = 1; i <= st.par.nat; ++i) n += layout_count(atom_cutoff(st, i, e), st.par.mmax);
    return n;
}

namespace {
// l of each channel of a layout, in layout order.
void channel_l(int lmax, int mmax, int* l_of) {
    int a = 0;
    for (int l = 0; l <= lmax; ++l)
        for (int m = -std::min(l, mmax); m <= std::min(l, mmax); ++m) l_of[a++] = l;
}
}  // namespace

assembly_result assemble(run_state& st, std::ostream& out, int e, bool changed) {
    const run_parameters& p = st.par;
    const phase_table& t = st.phases;
    matrix_store& g = *st.matrix;
    const int mmax = p.mmax;
    const cplx k = t.ckph(e);
    cplx* gg = st.gg.data();
    int lof_i[LDGG_], lof_j[LDGG_];
    assembly_result res;

    int o = 0, b = 0;
    for (int i = 1; i <= p.nat; ++i) {
        const int li = atom_cutoff(st, i, e);
        const int ni = layout_count(li, mmax);
        if (changed)
            for (int a = 1; a <= ni; ++a)
                for (int a2 = a + 1; a2 <= ni; ++a2) {
                    g.gt(o + a, o + a2) = cplx(0.0f, 0.0f);
                    g.gt(o + a2, o + a) = cplx(0.0f, 0.0f);
                }
        channel_l(li, mmax, lof_i);
        int q = o + ni;
        for (int j = i + 1; j <= p.nat; ++j) {
            const int lj = atom_cutoff(st, j, e);
            const int nj = layout_count(lj, mmax);
            const int lmax = std::max(li, lj);
            ++b;
            if (b == 1)
                prop1(st.props.p1, out, LPROP_, LDGG_, lmax, mmax, k, st.bonds.rbond[0], gg);
            else if (st.bonds.tbond[b - 1] == 0.0f)
                prop2(st.props.p2, out, LPROP_, LDGG_, lmax, mmax, k, st.bonds.rbond[b - 1],
                      st.ylm.column(b - 1), gg);
            else
                prop3(st.props.p3, out, LPROP_, LDGG_, lmax, mmax, k, st.bonds.rbond[b - 1],
                      st.ylm.column(b - 1), st.bonds.tbond[b - 1], gg);
            channel_l(lj, mmax, lof_j);
            const int pi = p.iph[i - 1], pj = p.iph[j - 1];
            for (int beta = 1; beta <= nj; ++beta) {
                const int lp = lof_j[beta - 1];
                const cplx tj = t.til(e, lp, pj);
                for (int a = 1; a <= ni; ++a) {
                    const int l = lof_i[a - 1];
                    const real sign = ((l + lp) % 2 == 0) ? 1.0f : -1.0f;
                    g.gt(o + a, q + beta) = gg[(a - 1) + (beta - 1) * LDGG_] * tj;
                    g.gt(q + beta, o + a) =
                        sign * (gg[(beta - 1) + (a - 1) * LDGG_] * t.til(e, l, pi));
                }
            }
            q += nj;
            res.last_lmax = lmax;
        }
        o += ni;
    }
    res.n = o;
    return res;
}

}  // namespace korva
