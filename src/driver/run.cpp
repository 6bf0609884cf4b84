#include "driver/run.hpp"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "driver/energy_loop.hpp"
#include "driver/finish.hpp"
#include "driver/run_state.hpp"
#include "driver/setup.hpp"

namespace korva {

void run(std::istream& deck_stream, std::ostream& out) {
    auto st = std::make_unique<run_state>();
    const char* solver = std::getenv("KORVA_SOLVER");
    st->plain_solver = solver != nullptr && std::string(solver) == "plain";
#ifdef _OPENMP
    st->threads = std::max(1, omp_get_max_threads());
#endif
    text_input deck(deck_stream);
    setup_run(*st, deck, out);
    energy_loop(*st, out);
    finish_run(*st, deck, out);
    for (std::ofstream* f : {&st->dat, &st->sigfile, &st->chi, &st->foufile})
        if (f->is_open()) f->close();
}

}  // namespace korva
