// The two ways a run ends early: a condition the program reports itself, or unreadable input.
#pragma once
#include <string>

namespace korva {

// The message has been written to standard output; the run ends with status 1.
struct run_stop {};

// A value could not be read or the input ended early; main writes `what` on standard error
// and the run ends with status 2.
struct read_error {
    std::string what;
};

}  // namespace korva
