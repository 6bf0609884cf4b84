#include "driver/run.hpp"

#include <memory>

#include "driver/energy_loop.hpp"
#include "driver/finish.hpp"
#include "driver/run_state.hpp"
#include "driver/setup.hpp"

namespace korva {

void run(std::istream& deck_stream, std::ostream& out) {
    auto st = std::make_unique<run_state>();
    text_input deck(deck_stream);
    setup_run(*st, deck, out);
    energy_loop(*st, out);
    finish_run(*st, deck, out);
    for (std::ofstream* f : {&st->dat, &st->sigfile, &st->chi, &st->foufile})
        if (f->is_open()) f->close();
}

}  // namespace korva
