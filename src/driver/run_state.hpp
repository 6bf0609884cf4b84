// Everything a run owns, from the deck to the spectra; one object per run.
#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/capacities.hpp"
#include "common/cputime.hpp"
#include "common/types.hpp"
#include "driver/cutoffs.hpp"
#include "driver/run_parameters.hpp"
#include "geometry/angles.hpp"
#include "geometry/ylm.hpp"
#include "input/phase_table.hpp"
#include "post/fouplot.hpp"
#include "post/open.hpp"
#include "propagator/prop_tables.hpp"
#include "recursion/haykor.hpp"
#include "recursion/tile_store.hpp"
#include "team/point_signal.hpp"

namespace korva {

// The signal of each final-state channel c = 1, 2 at each energy point e = 1..NER_.
struct signal_arrays {
    int nch = 1;
    std::array<std::array<cplx, NER_>, 2> csig{};
    std::array<std::array<real, NER_>, 2> xtot{}, camp{}, cphase{};
    std::array<real, NER_> kwave{};
    cplx& c(int ch, int e) { return csig[ch - 1][e - 1]; }
    // A point's entries, as the member that computed it hands them back.
    void set(const point_signal& s) {
        csig[s.c - 1][s.e - 1] = s.csig;
        xtot[s.c - 1][s.e - 1] = s.xtot;
        camp[s.c - 1][s.e - 1] = s.camp;
        cphase[s.c - 1][s.e - 1] = s.cphase;
        kwave[s.e - 1] = s.kwave;
    }
};

// The recursions of one point from their starts, on the assembled matrix. The program runs
// the streaming recursion; a test may put another solver of the same contract in its place.
using point_solver = std::function<std::vector<haykor_result>(
    const tile_store& g, const std::vector<recursion_start>& starts, real eps, int iout,
    std::vector<std::string>& lines)>;

// A builder's tables and block of one assembly thread.
struct builder_scratch {
    prop_tables props;  // built on the first call of each builder, then reused
    std::vector<cplx> gg = std::vector<cplx>(LDGG_ * LDGG_);
};

struct run_state {
    run_parameters par;
    cpu_marks cpu;
    phase_table phases;
    int nen = 0;         // energy points of the set-up: the table's, at most NEP
    angles_frame frame;  // keeps the reference direction
    bond_list bonds;
    ylm_table ylm;
    std::vector<builder_scratch> builders = std::vector<builder_scratch>(1);  // one per thread
    std::unique_ptr<tile_store> tiles;       // sized by the plan's largest order
    int threads = 1;                         // for the products and the assembly
    point_solver solver;                     // empty: the streaming recursion
    pass_kernel kernel = pass_kernel::best;  // of the passes and the copies; the same bits
    signal_arrays sig;
    fouplot_state fou;
    plot_file dat, sigfile, chi, foufile;  // plot files, put in place when the run ends
};

}  // namespace korva
