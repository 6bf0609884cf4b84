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
#include "driver/setup.hpp"

namespace korva {

namespace {

int thread_count(int asked) {
#ifdef _OPENMP
    if (asked <= 0) return std::max(1, omp_get_max_threads());
#endif
    return std::max(1, asked);
}

}  // namespace

void run(std::istream& deck_stream, std::ostream& out, const run_options& opt) {
    auto st = std::make_unique<run_state>();
    st->threads = thread_count(opt.threads);
    st->solver = opt.solver;
    run_observer* obs = opt.observer;
    if (obs) obs->timing.threads = st->threads;
    text_input deck(deck_stream);
    {
        phase_timer t(obs, &run_timings::setup);
        setup_run(*st, deck, out);
    }
    energy_loop(*st, out, obs);
    {
        phase_timer t(obs, &run_timings::post);
        finish_run(*st, deck, out);
    }
    // Only a run that reached its end, with its standard output written, puts its plot files
    // in place.
    out.flush();
    if (!out)
        throw write_error{
            "standard output",
            "writing failed (" + system_reason(stream_error(out), "the stream failed") + ")"};
    commit({&st->dat, &st->sigfile, &st->chi, &st->foufile});
}

}  // namespace korva
