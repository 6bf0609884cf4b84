// Everything a run owns, from the deck to the spectra; one object per run.
#pragma once
#include <array>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "common/capacities.hpp"
#include "common/cputime.hpp"
#include "common/types.hpp"
#include "driver/run_parameters.hpp"
#include "geometry/angles.hpp"
#include "geometry/ylm.hpp"
#include "input/phase_table.hpp"
#include "post/fouplot.hpp"
#include "post/open.hpp"
#include "propagator/cgc.hpp"
#include "propagator/prop_tables.hpp"
#include "recursion/matrix.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// The signal of each final-state channel c = 1, 2 at each energy point e = 1..NER_.
struct signal_arrays {
    int nch = 1;
    std::array<std::array<cplx, NER_>, 2> csig{};
    std::array<std::array<real, NER_>, 2> xtot{}, camp{}, cphase{};
    std::array<real, NER_> kwave{};
    cplx& c(int ch, int e) { return csig[ch - 1][e - 1]; }
};

struct run_state {
    run_parameters par;
    phase_table phases;
    angles_frame frame;  // keeps the reference direction
    bond_list bonds;
    int lmxtop = 0;  // largest cut-off of the run
    ylm_table ylm;
    prop_tables props;  // built on the first call of each builder, then reused
    c3j0_cache c3j0s;
    std::vector<cplx> gg = std::vector<cplx>(LDGG_ * LDGG_);
    std::unique_ptr<matrix_store> matrix;  // plain solver: sized by the run's largest order
    std::unique_ptr<tile_store> tiles;     // fast solver: the same, in tiles
    bool plain_solver = false;             // the reference path: row lists and haykor
    int threads = 1;                       // for the products and the assembly
    struct thread_scratch {
        prop_tables props;
        std::vector<cplx> gg;
    };
    std::vector<thread_scratch> thread_work;  // threads 2, 3, ...: builder tables and gg
    run_timings timing;
    // Called with the assembled matrix of each point before the streaming recursion (benchmarks).
    std::function<void(const tile_store&, int e)> matrix_hook;
    signal_arrays sig;
    fouplot_state fou;
    plot_file dat, sigfile, chi, foufile;  // plot files, put in place when the run ends
};

}  // namespace korva
