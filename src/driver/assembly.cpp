#include "driver/assembly.hpp"

#include <algorithm>
#include <sstream>
#include <utility>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#endif

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

// The layout of every atom at one point: cut-off, channel count and first index - 1.
struct atom_layout {
    std::vector<int> l, n, o;
};

atom_layout layout_of(const run_state& st, int e) {
    atom_layout lay;
    int o = 0;
    for (int i = 1; i <= st.par.nat; ++i) {
        lay.l.push_back(atom_cutoff(st, i, e));
        lay.n.push_back(layout_count(lay.l.back(), st.par.mmax));
        lay.o.push_back(o);
        o += lay.n.back();
    }
    return lay;
}

// Zeros inside each atom's own block, where an earlier layout may have left entries.
template <class Store>
void clear_atom_blocks(Store& g, const atom_layout& lay) {
    for (std::size_t i = 0; i < lay.n.size(); ++i)
        for (int a = 1; a <= lay.n[i]; ++a)
            for (int a2 = a + 1; a2 <= lay.n[i]; ++a2) {
                g.gt(lay.o[i] + a, lay.o[i] + a2) = cplx(0.0f, 0.0f);
                g.gt(lay.o[i] + a2, lay.o[i] + a) = cplx(0.0f, 0.0f);
            }
}

// Bond b (1-based) of atoms i < j: its propagator block in gg, then the two blocks of the pair.
template <class Store>
void bond_blocks(run_state& st, Store& g, prop_tables& props, cplx* gg, std::ostream& out,
                 const atom_layout& lay, int e, int b, int i, int j) {
    const run_parameters& p = st.par;
    const phase_table& t = st.phases;
    const int mmax = p.mmax;
    const cplx k = t.ckph(e);
    const int li = lay.l[i - 1], lj = lay.l[j - 1], ni = lay.n[i - 1], nj = lay.n[j - 1];
    const int o = lay.o[i - 1], q = lay.o[j - 1];
    const int lmax = std::max(li, lj);
    if (b == 1)
        prop1(props.p1, out, LPROP_, LDGG_, lmax, mmax, k, st.bonds.rbond[0], gg);
    else if (st.bonds.tbond[b - 1] == 0.0f)
        prop2(props.p2, out, LPROP_, LDGG_, lmax, mmax, k, st.bonds.rbond[b - 1],
              st.ylm.column(b - 1), gg);
    else
        prop3(props.p3, out, LPROP_, LDGG_, lmax, mmax, k, st.bonds.rbond[b - 1],
              st.ylm.column(b - 1), st.bonds.tbond[b - 1], gg);
    int lof_i[LDGG_], lof_j[LDGG_];
    channel_l(li, mmax, lof_i);
    channel_l(lj, mmax, lof_j);
    const int pi = p.iph[i - 1], pj = p.iph[j - 1];
    for (int beta = 1; beta <= nj; ++beta) {
        const int lp = lof_j[beta - 1];
        const cplx tj = t.til(e, lp, pj);
        for (int a = 1; a <= ni; ++a) {
            const int l = lof_i[a - 1];
            const real sign = ((l + lp) % 2 == 0) ? 1.0f : -1.0f;
            g.gt(o + a, q + beta) = gg[(a - 1) + (beta - 1) * LDGG_] * tj;
            g.gt(q + beta, o + a) = sign * (gg[(beta - 1) + (a - 1) * LDGG_] * t.til(e, l, pi));
        }
    }
}

// The builders of every thread but the first get copies of the run's tables, which the
// set-up calls have built; a table is read and its scratch written by one thread only.
void prepare_threads(run_state& st, int threads) {
    if (static_cast<int>(st.thread_work.size()) >= threads - 1) return;
    st.thread_work.clear();
    for (int t = 1; t < threads; ++t)
        st.thread_work.push_back({st.props, std::vector<cplx>(LDGG_ * LDGG_)});
}

template <class Store>
assembly_result assemble_into(run_state& st, Store& g, std::ostream& out, int e, bool changed,
                              int threads) {
    const int nat = st.par.nat;
    const atom_layout lay = layout_of(st, e);
    if (changed) clear_atom_blocks(g, lay);
    assembly_result res;
    res.n = lay.o.back() + lay.n.back();
    if (nat >= 2) res.last_lmax = std::max(lay.l[nat - 2], lay.l[nat - 1]);

    // Past their tables' cut-offs the builders write a warning at every call; those runs keep
    // the bonds in order so the warnings come in order.
    const bool parallel = threads > 1 && st.lmxtop <= builder_quiet_lmax && nat > 2;
    if (!parallel) {
        int b = 0;
        for (int i = 1; i <= nat; ++i)
            for (int j = i + 1; j <= nat; ++j)
                bond_blocks(st, g, st.props, st.gg.data(), out, lay, e, ++b, i, j);
        return res;
    }
    std::vector<std::pair<int, int>> pairs;
    for (int i = 1; i <= nat; ++i)
        for (int j = i + 1; j <= nat; ++j) pairs.emplace_back(i, j);
    prepare_threads(st, threads);
    const int nb = static_cast<int>(pairs.size());
#pragma omp parallel num_threads(threads)
    {
        int t = 0;
#ifdef _OPENMP
        t = omp_get_thread_num();
#endif
        prop_tables& props = t == 0 ? st.props : st.thread_work[t - 1].props;
        cplx* gg = t == 0 ? st.gg.data() : st.thread_work[t - 1].gg.data();
        std::ostringstream quiet;  // nothing reaches it below the cut-offs
#pragma omp for schedule(dynamic, 8)
        for (int b = 1; b <= nb; ++b)
            bond_blocks(st, g, props, gg, quiet, lay, e, b, pairs[b - 1].first,
                        pairs[b - 1].second);
    }
    return res;
}

}  // namespace

assembly_result assemble(run_state& st, std::ostream& out, int e, bool changed) {
    return assemble_into(st, *st.matrix, out, e, changed, 1);
}

assembly_result assemble_tiles(run_state& st, std::ostream& out, int e, bool changed, int threads) {
    return assemble_into(st, *st.tiles, out, e, changed, threads);
}

}  // namespace korva
