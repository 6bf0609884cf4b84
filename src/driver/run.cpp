#include "driver/run.hpp"

#include <memory>

#include "driver/run_state.hpp"
#include "driver/setup.hpp"

namespace korva {

void run(std::istream& deck_stream, std::ostream& out) {
    auto st = std::make_unique<run_state>();
    text_input deck(deck_stream);
    setup_run(*st, deck, out);
}

}  // namespace korva
