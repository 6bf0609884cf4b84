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

namespace {

// Zeros inside each atom's own block, where an earlier layout may have left entries.
void clear_atom_blocks(tile_store& g, const atom_layout& lay) {
    for (std::size_t i = 0; i < lay.n.size(); ++i)
        for (int a = 1; a <= lay.n[i]; ++a)
            for (int a2 = a + 1; a2 <= lay.n[i]; ++a2) {
                g.gt(lay.o[i] + a, lay.o[i] + a2) = cplx(0.0f, 0.0f);
                g.gt(lay.o[i] + a2, lay.o[i] + a) = cplx(0.0f, 0.0f);
            }
}

// The propagator block of bond b (1-based) in gg, for cut-off lmax.
void bond_block(const cluster_view& cl, builder_scratch& s, std::ostream& out, int e, int b,
                int lmax) {
    const bond_list& bonds = cl.bonds;
    const int mmax = cl.par.mmax;
    const cplx k = cl.phases.ckph(e);
    const real r = bonds.rbond[b - 1];
    if (b == 1)
        prop1(s.props.p1, out, LPROP_, LDGG_, lmax, mmax, k, r, s.gg.data());
    else if (bonds.tbond[b - 1] == 0.0f)
        prop2(s.props.p2, out, LPROP_, LDGG_, lmax, mmax, k, r, cl.ylm.column(b - 1), s.gg.data());
    else
        prop3(s.props.p3, out, LPROP_, LDGG_, lmax, mmax, k, r, cl.ylm.column(b - 1),
              bonds.tbond[b - 1], s.gg.data());
}

// Bond b of atoms i < j: its block, then the two blocks of the pair, each column scaled by the
// amplitude of the atom the column belongs to.
void bond_blocks(const cluster_view& cl, builder_scratch& s, tile_store& g, std::ostream& out,
                 const atom_layout& lay, int e, int b, int i, int j) {
    const phase_table& t = cl.phases;
    const int li = lay.l[i - 1], lj = lay.l[j - 1], ni = lay.n[i - 1], nj = lay.n[j - 1];
    const int o = lay.o[i - 1], q = lay.o[j - 1];
    bond_block(cl, s, out, e, b, std::max(li, lj));
    const int mmax = cl.par.mmax;
    const int pi = cl.par.iph[i - 1], pj = cl.par.iph[j - 1];
    const cplx* gg = s.gg.data();
    // l of the channels of each layout, counted up along it: the last channel of l is
    // (l, min(l, Mmax)).
    for (int beta = 1, lp = 0; beta <= nj; ++beta) {
        if (beta > layout_index(lp, std::min(lp, mmax), mmax)) ++lp;
        const cplx tj = t.til(e, lp, pj);
        for (int a = 1, l = 0; a <= ni; ++a) {
            if (a > layout_index(l, std::min(l, mmax), mmax)) ++l;
            const real sign = ((l + lp) % 2 == 0) ? 1.0f : -1.0f;
            g.gt(o + a, q + beta) = gg[(a - 1) + (beta - 1) * LDGG_] * tj;
            g.gt(q + beta, o + a) = sign * (gg[(beta - 1) + (a - 1) * LDGG_] * t.til(e, l, pi));
        }
    }
}

std::vector<std::pair<int, int>> atom_pairs(int nat) {
    std::vector<std::pair<int, int>> pairs;
    for (int i = 1; i <= nat; ++i)
        for (int j = i + 1; j <= nat; ++j) pairs.emplace_back(i, j);
    return pairs;
}

}  // namespace

void warm_up_builders(const cluster_view& cl, std::vector<builder_scratch>& builders,
                      std::ostream& out) {
    builder_scratch& s = builders.front();
    const int nb = cl.par.nat * (cl.par.nat - 1) / 2;
    bond_block(cl, s, out, 1, 1, cl.lmxtop);
    if (nb >= 2) {
        // Bond 2 stands in for every other bond: the tables do not depend on the direction.
        prop2(s.props.p2, out, LPROP_, LDGG_, cl.lmxtop, cl.par.mmax, cl.phases.ckph(1),
              cl.bonds.rbond[1], cl.ylm.column(1), s.gg.data());
        prop3(s.props.p3, out, LPROP_, LDGG_, cl.lmxtop, cl.par.mmax, cl.phases.ckph(1),
              cl.bonds.rbond[1], cl.ylm.column(1), cl.bonds.tbond[1], s.gg.data());
    }
    for (std::size_t t = 1; t < builders.size(); ++t) builders[t].props = s.props;
}

assembly_result assemble(const cluster_view& cl, const atom_layout& lay, int e, bool changed,
                         std::vector<builder_scratch>& builders, tile_store& g, std::ostream& out) {
    const int nat = cl.par.nat;
    if (changed) clear_atom_blocks(g, lay);
    assembly_result res;
    res.n = lay.order();
    if (nat >= 2) res.last_lmax = std::max(lay.l[nat - 2], lay.l[nat - 1]);

    const std::vector<std::pair<int, int>> pairs = atom_pairs(nat);
    const int nb = static_cast<int>(pairs.size());
    const int threads = static_cast<int>(builders.size());
    // Past their tables' cut-offs the builders write a warning at every call; those runs keep
    // the bonds in order so the warnings come in order.
    if (threads == 1 || cl.lmxtop > builder_quiet_lmax || nat <= 2) {
        for (int b = 1; b <= nb; ++b)
            bond_blocks(cl, builders.front(), g, out, lay, e, b, pairs[b - 1].first,
                        pairs[b - 1].second);
        return res;
    }
#pragma omp parallel num_threads(threads)
    {
        int t = 0;
#ifdef _OPENMP
        t = omp_get_thread_num();
#endif
        std::ostringstream quiet;  // nothing reaches it below the cut-offs
#pragma omp for schedule(dynamic, 8)
        for (int b = 1; b <= nb; ++b)
            bond_blocks(cl, builders[t], g, quiet, lay, e, b, pairs[b - 1].first,
                        pairs[b - 1].second);
    }
    return res;
}

}  // namespace korva
