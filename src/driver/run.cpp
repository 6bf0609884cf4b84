#include "driver/run.hpp"

#include <algorithm>
#include <memory>
#include <optional>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "common/errors.hpp"
#include "common/fd_stream.hpp"
#include "driver/energy_loop.hpp"
#include "driver/finish.hpp"
#include "driver/loop_prepare.hpp"
#include "driver/setup.hpp"
#include "driver/setup_bytes.hpp"
#include "team/shared_points.hpp"
#include "team/thread_team.hpp"
#ifdef KORVA_MPI
#include "team/mpi_world.hpp"
#endif

namespace korva {

namespace {

int thread_count(int asked) {
#ifdef _OPENMP
    if (asked <= 0) return std::max(1, omp_get_max_threads());
#endif
    return std::max(1, asked);
}

std::unique_ptr<run_state> new_state(const run_options& opt, int threads) {
    auto st = std::make_unique<run_state>();
    st->threads = threads;
    st->solver = opt.solver;
    st->kernel = opt.kernel;
    st->place = opt.place;
    return st;
}

// Member 0 of a team: the set-up goes to every member, the points to whoever asks, and every
// signal into the run in point order.
void shared_loop(run_state& st, const loop_plan& plan, std::ostream& out, run_observer* obs,
                 const point_watch& watch, process_team& team) {
    team.share_setup(pack_setup(st));
    lead_points(
        team, plan.total(), [&](point_team& t) { compute_points(st, plan, t, obs); },
        [&](const point_signal& s) { take_signal(st, plan, out, s, watch); });
}

// Set-up, the plan of the loop and the mesh of chi(k) (every answer of the deck checked before
// the first point), the energy loop and the post-processing, then the plot files in place.
// With a team, this is member 0's part of a run spread over it.
void run_stages(run_state& st, const deck_reading& deck, const run_options& opt, std::ostream& out,
                process_team* team) {
    run_observer* obs = opt.observer;
    {
        phase_timer t(obs, &run_timings::setup);
        setup_run(st, deck, opt.polarisations, out);
    }
    const loop_plan plan = plan_loop(st, out, obs);
    const chi_mesh mesh = plan_chi_mesh(st.par, st.phases, plan.nen, out);
    prepare_points(st, plan, out, obs, true);
    if (team)
        shared_loop(st, plan, out, obs, opt.watch, *team);
    else
        energy_loop(st, plan, out, obs, opt.watch);
    end_loop(st, plan, out);
    {
        phase_timer t(obs, &run_timings::post);
        finish_run(st, plan, mesh, out);
    }
    if (obs && obs->end_hook) obs->end_hook(st, plan.nen);
    // Only a run that reached its end, with its standard output written, puts its plot files
    // in place.
    out.flush();
    if (!out)
        throw write_error{
            "standard output",
            "writing failed (" + system_reason(stream_error(out), "the stream failed") + ")"};
    commit({&st.dat, &st.sigfile, &st.chi, &st.foufile});
}

// A member other than 0: the set-up from member 0, the loop's plan and store made silently,
// then the points member 0 hands out. A member that cannot prepare (only memory can fail here,
// member 0 having passed every check) reports it as the signal of its first point.
void follow_run(process_team& team, const run_options& opt, int threads) {
    const std::string setup = team.share_setup({});
    if (setup.empty()) return;  // the run ended before the loop
    const std::unique_ptr<run_state> st = new_state(opt, threads);
    st->solver = nullptr;
    unpack_setup(setup, *st);
    std::ostream silent(nullptr);  // member 0 has printed all of it
    std::optional<loop_plan> plan;
    std::exception_ptr failure;
    try {
        plan = plan_loop(*st, silent, nullptr);
        prepare_points(*st, *plan, silent, nullptr, false);
    } catch (...) {
        failure = std::current_exception();
    }
    follow_points(team, [&](point_team& t) {
        if (!failure) return compute_points(*st, *plan, t, nullptr);
        if (const std::optional<int> k = t.next_point()) {
            point_signal s;
            s.k = *k;
            try {
                std::rethrow_exception(failure);
            } catch (...) {
                record_failure(s);
            }
            t.hand_back(std::move(s));
        }
    });
}

// One member's part of a run spread over a team. Member 0 runs the stages and ends with the
// run's status; the others compute points and end normally: a member that ends otherwise
// ends the whole team at once (under mpirun, with status 1), perhaps before member 0 has
// written everything.
void run_member(process_team& team, const deck_reading& deck, std::ostream& out,
                const run_options& opt, int threads) {
    if (team.rank() != 0) {
        try {
            follow_run(team, opt, threads);
        } catch (...) {
            team.abort();
        }
        return;
    }
    const std::unique_ptr<run_state> st = new_state(opt, threads);
    if (opt.observer) opt.observer->timing.threads = threads;
    run_stages(*st, deck, opt, out, &team);
}

// Options the deck does not allow end the run before anything is written.
void refuse_options(const deck_reading& deck, const run_options& opt) {
    if (!opt.polarisations.empty() && deck.answered(6) && deck.deck.lcore != 0)
        throw usage_error{
            "--polarisation: polarised spectra are computed for K and L1 edges "
            "(lcore = 0); the deck has lcore = " +
            std::to_string(deck.deck.lcore)};
}

}  // namespace

void run(std::istream& deck_stream, std::ostream& out, const run_options& opt) {
    const int threads = thread_count(opt.threads);
#ifdef KORVA_MPI
    if (const std::unique_ptr<process_team> team = join_mpi_world()) {
        // Only rank 0 reads the deck.
        const deck_reading deck = team->rank() == 0 ? read_deck(deck_stream) : deck_reading{};
        if (team->rank() == 0) refuse_options(deck, opt);
        run_member(*team, deck, out, opt, threads);
        return;
    }
#endif
    const deck_reading deck = read_deck(deck_stream);
    refuse_options(deck, opt);
    if (opt.members > 1) {
        run_thread_team(opt.members,
                        [&](process_team& team) { run_member(team, deck, out, opt, threads); });
        return;
    }
    const std::unique_ptr<run_state> st = new_state(opt, threads);
    if (opt.observer) opt.observer->timing.threads = st->threads;
    run_stages(*st, deck, opt, out, nullptr);
}

}  // namespace korva
