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

// The signal at each energy point e = 1..NER_, in columns: one per final-state channel c = 1, 2
// or, for polarised spectra, one per polarisation.
struct signal_arrays {
    int nch = 1;  // final-state channels, whose columns chi(k) sums
    std::vector<std::array<cplx, NER_>> csig = std::vector<std::array<cplx, NER_>>(2);
    std::vector<std::array<real, NER_>> xtot = std::vector<std::array<real, NER_>>(2), camp = xtot,
                                        cphase = xtot;
    std::array<real, NER_> kwave{};

    int columns() const { return static_cast<int>(xtot.size()); }
    void set_columns(int n) {
        csig.assign(static_cast<std::size_t>(n), {});
        xtot.assign(static_cast<std::size_t>(n), {});
        camp = cphase = xtot;
    }
    // A point's values: column c of its channel, or columns 1..n of its polarisations.
    void set(const point_signal& s) {
        const int first = s.xtot.size() == 1 ? s.c : 1;
        for (std::size_t v = 0; v < s.xtot.size(); ++v) {
            const std::size_t col = static_cast<std::size_t>(first - 1) + v;
            csig[col][s.e - 1] = s.csig[v];
            xtot[col][s.e - 1] = s.xtot[v];
            camp[col][s.e - 1] = s.camp[v];
            cphase[col][s.e - 1] = s.cphase[v];
        }
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
    std::vector<std::string> polar_names;  // "e1 = (1, 0, 0)": the plots' names of the vectors
    fouplot_state fou;
    plot_file dat, sigfile, chi, foufile;  // plot files, put in place when the run ends
    run_place place;                       // the folder of the data and plot files
};

}  // namespace korva
