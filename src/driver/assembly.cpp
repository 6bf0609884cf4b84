#include "driver/assembly.hpp"

#include <algorithm>
#include <sstream>
#include <utility>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "common/channels.hpp"
#include "common/cputime.hpp"
#include "propagator/prop1.hpp"
#include "propagator/prop2.hpp"
#include "propagator/prop3.hpp"
#include "recursion/tile_copy.hpp"

namespace korva {

namespace {

// The amplitude t_l of each channel of the layout at point e.
void set_amplitudes(const cluster_view& cl, const atom_layout& lay, int e, tile_store& g) {
    const int mmax = cl.par.mmax;
    for (std::size_t i = 0; i < lay.n.size(); ++i) {
        // l counted up along the layout: the last channel of l is (l, min(l, Mmax)).
        for (int a = 1, l = 0; a <= lay.n[i]; ++a) {
            if (a > layout_index(l, std::min(l, mmax), mmax)) ++l;
            g.amplitude(lay.o[i] + a) = cl.phases.til(e, l, cl.par.iph[i]);
        }
    }
}

// Wall seconds of one thread's bonds: the builders' calls and the copies into the store.
struct bond_clock {
    double build = 0, copy = 0;
};

// The store in the layout's order, with its atoms. The bonds write every entry between two
// atoms; what remains are the atoms' own blocks: zero.
void new_layout(tile_store& g, const atom_layout& lay, int mmax) {
    g.relayout(lay.order());
    for (std::size_t i = 0; i < lay.n.size(); ++i) {
        g.set_atom(static_cast<int>(i) + 1, lay.o[i], lay.l[i], mmax);
        for (int b = 1; b <= lay.n[i]; ++b)
            for (int a = 1; a <= lay.n[i]; ++a)
                if (tile_store::kept(lay.o[i] + a, lay.o[i] + b))
                    g.upper(lay.o[i] + a, lay.o[i] + b) = cplx(0.0f, 0.0f);
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
        prop1(s.props.p1, out, LDGG_, lmax, mmax, k, r, s.gg.data());
    else if (bonds.tbond[b - 1] == 0.0f)
        prop2(s.props.p2, out, LDGG_, lmax, mmax, k, r, cl.ylm.column(b - 1), s.gg.data());
    else
        prop3(s.props.p3, out, LDGG_, lmax, mmax, k, r, cl.ylm.column(b - 1), bonds.tbond[b - 1],
              s.gg.data());
}

// Bond b of atoms i < j: its block into the stored half, G(o + a, q + b) = gg(a, b), read down
// the columns of gg and written tile by tile. The block of (j, i) is its reflection
// (tile_store.hpp): the design's (-1)^(l + l') gg(b, a), which the builders write as
// (-1)^(m + m') gg(a', b'), is that reflection bit for bit.
void bond_blocks(const cluster_view& cl, builder_scratch& s, tile_store& g, std::ostream& out,
                 const atom_layout& lay, int e, int b, std::pair<int, int> bond, pass_kernel kernel,
                 bond_clock& clock) {
    const auto [i, j] = bond;
    const int ni = lay.n[i - 1], nj = lay.n[j - 1], o = lay.o[i - 1], q = lay.o[j - 1];
    const double t0 = wall_seconds();
    bond_block(cl, s, out, e, b, std::max(lay.l[i - 1], lay.l[j - 1]));
    const double t1 = wall_seconds();
    copy_block(g, o + 1, q + 1, {s.gg.data(), LDGG_, ni, nj}, kernel);
    clock.build += t1 - t0;
    clock.copy += wall_seconds() - t1;
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
        prop2(s.props.p2, out, LDGG_, cl.lmxtop, cl.par.mmax, cl.phases.ckph(1), cl.bonds.rbond[1],
              cl.ylm.column(1), s.gg.data());
        prop3(s.props.p3, out, LDGG_, cl.lmxtop, cl.par.mmax, cl.phases.ckph(1), cl.bonds.rbond[1],
              cl.ylm.column(1), cl.bonds.tbond[1], s.gg.data());
    }
    for (std::size_t t = 1; t < builders.size(); ++t) builders[t].props = s.props;
}

assembly_result assemble(const cluster_view& cl, const atom_layout& lay, int e, bool changed,
                         std::vector<builder_scratch>& builders, tile_store& g, std::ostream& out,
                         run_timings* timing) {
    const int nat = cl.par.nat;
    if (changed) {
        const double t0 = wall_seconds();
        new_layout(g, lay, cl.par.mmax);
        if (timing) timing->asm_reshape += wall_seconds() - t0;
    }
    g.clear_marks();  // the copies mark the tiles that get subnormal entries at this point
    assembly_result res;
    res.n = lay.order();
    if (nat >= 2) res.last_lmax = std::max(lay.l[nat - 2], lay.l[nat - 1]);

    const std::vector<std::pair<int, int>> pairs = atom_pairs(nat);
    set_amplitudes(cl, lay, e, g);
    const pass_kernel kernel = pass_kernel_used(cl.kernel);
    const int nb = static_cast<int>(pairs.size());
    const int threads = static_cast<int>(builders.size());
    std::vector<bond_clock> clocks(static_cast<std::size_t>(threads));
    // Past their tables' cut-offs the builders write a warning at every call; those runs keep
    // the bonds in order so the warnings come in order.
    if (threads == 1 || cl.lmxtop > builder_quiet_lmax || nat <= 2) {
        for (int b = 1; b <= nb; ++b)
            bond_blocks(cl, builders.front(), g, out, lay, e, b, pairs[b - 1], kernel,
                        clocks.front());
    } else {
#pragma omp parallel num_threads(threads)
        {
            int t = 0;
#ifdef _OPENMP
            t = omp_get_thread_num();
#endif
            std::ostringstream quiet;  // nothing reaches it below the cut-offs
#pragma omp for schedule(dynamic, 8)
            for (int b = 1; b <= nb; ++b)
                bond_blocks(cl, builders[t], g, quiet, lay, e, b, pairs[b - 1], kernel, clocks[t]);
        }
    }
    if (timing)
        for (const bond_clock& c : clocks) {
            timing->asm_build += c.build;
            timing->asm_copy += c.copy;
        }
    return res;
}

}  // namespace korva
