#include "driver/run.hpp"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "common/errors.hpp"
#include "driver/energy_loop.hpp"
#include "driver/finish.hpp"
#include "driver/run_state.hpp"
#include "driver/setup.hpp"

namespace korva {

void run(std::istream& deck_stream, std::ostream& out) {
    run(deck_stream, out, run_options{});
}

run_timings run(std::istream& deck_stream, std::ostream& out, const run_options& opt) {
    auto st = std::make_unique<run_state>();
    if (opt.plain >= 0) {
        st->plain_solver = opt.plain == 1;
    } else {
        const char* solver = std::getenv("KORVA_SOLVER");
        st->plain_solver = solver != nullptr && std::string(solver) == "plain";
    }
    st->threads = std::max(1, opt.threads);
#ifdef _OPENMP
    if (opt.threads <= 0) st->threads = std::max(1, omp_get_max_threads());
#endif
    st->matrix_hook = opt.matrix_hook;
    st->timing.threads = st->threads;
    text_input deck(deck_stream);
    double t0 = wall_seconds();
    setup_run(*st, deck, out);
    st->timing.setup = wall_seconds() - t0;
    energy_loop(*st, out);
    t0 = wall_seconds();
    finish_run(*st, deck, out);
    st->timing.post = wall_seconds() - t0;
    // Only a run that reached its end, with its standard output written, puts its plot files
    // in place.
    out.flush();
    if (!out) throw read_error{"standard output could not be written"};
    commit({&st->dat, &st->sigfile, &st->chi, &st->foufile});
    return st->timing;
}

}  // namespace korva
