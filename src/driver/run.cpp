#include "driver/run.hpp"

#include <algorithm>
#include <memory>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "common/errors.hpp"
#include "common/fd_stream.hpp"
#include "driver/energy_loop.hpp"
#include "driver/finish.hpp"
#include "driver/mpi_loop.hpp"
#include "driver/setup.hpp"
#ifdef KORVA_MPI
#include "driver/mpi_world.hpp"
#endif

namespace korva {

namespace {

int thread_count(int asked) {
#ifdef _OPENMP
    if (asked <= 0) return std::max(1, omp_get_max_threads());
#endif
    return std::max(1, asked);
}

// Set-up, energy loop and post-processing, then the plot files in place. With a team, this is
// rank 0's part of a run spread over it.
void run_stages(run_state& st, std::istream& deck_stream, std::ostream& out, run_observer* obs,
                process_team* team) {
    text_input deck(deck_stream);
    {
        phase_timer t(obs, &run_timings::setup);
        setup_run(st, deck, out);
    }
    if (team)
        shared_energy_loop(st, out, obs, *team);
    else
        energy_loop(st, out, obs);
    {
        phase_timer t(obs, &run_timings::post);
        finish_run(st, deck, out);
    }
    // Only a run that reached its end, with its standard output written, puts its plot files
    // in place.
    out.flush();
    if (!out)
        throw write_error{
            "standard output",
            "writing failed (" + system_reason(stream_error(out), "the stream failed") + ")"};
    commit({&st.dat, &st.sigfile, &st.chi, &st.foufile});
}

#ifdef KORVA_MPI
// A run under an MPI launcher. Rank 0 runs the stages and, however they end, tells the others
// the run is over; it alone ends with the run's status. The others compute points and end
// with status 0: a rank that ends non-zero makes mpirun stop the whole job at once, perhaps
// before rank 0 has written everything.
void run_on_team(process_team& team, std::istream& deck, std::ostream& out, const run_options& opt,
                 int threads) {
    if (team.rank() != 0) {
        try {
            team_worker(team, threads);
        } catch (...) {
            team.abort();
        }
        return;
    }
    auto st = std::make_unique<run_state>();
    st->threads = threads;
    st->kernel = opt.kernel;
    if (opt.observer) opt.observer->timing.threads = threads;
    try {
        run_stages(*st, deck, out, opt.observer, &team);
    } catch (...) {
        team.end();
        throw;
    }
    team.end();
}
#endif

}  // namespace

void run(std::istream& deck_stream, std::ostream& out, const run_options& opt) {
    const int threads = thread_count(opt.threads);
#ifdef KORVA_MPI
    if (const std::unique_ptr<process_team> team = join_mpi_world()) {
        run_on_team(*team, deck_stream, out, opt, threads);
        return;
    }
#endif
    auto st = std::make_unique<run_state>();
    st->threads = threads;
    st->solver = opt.solver;
    st->kernel = opt.kernel;
    if (opt.observer) opt.observer->timing.threads = st->threads;
    run_stages(*st, deck_stream, out, opt.observer, nullptr);
}

}  // namespace korva
