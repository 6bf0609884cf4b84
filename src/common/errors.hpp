// The ways a run ends early: a condition the program reports itself, input it cannot read, or
// output it cannot write.
#pragma once
#include <cstring>
#include <ostream>
#include <string>

#include "common/textio.hpp"

namespace korva {

// The message has been written to standard output; the run ends with status 1.
struct run_stop {};

// A value could not be read or the input ended early; main writes `what` on standard error
// and the run ends with status 2.
struct read_error {
    std::string what;
};

// An output could not be written; main names the file and the reason on standard error and
// the run ends with status 3.
struct write_error {
    std::string file;    // the output's name as the user knows it
    std::string reason;  // what the system said, or what went wrong
};

// An in-process caller stopped the run between two points (run_options::watch); the program
// itself never does.
struct run_cancelled {};

// A command line the program cannot follow, or an option the deck does not allow; main writes
// the message on standard error and ends with status 1 before anything is written.
struct usage_error {
    std::string what;
};

// The system's reason for a failed call (its errno), or `fallback` when it left none.
inline std::string system_reason(int err, const char* fallback) {
    return err != 0 ? std::string(std::strerror(err)) : std::string(fallback);
}

// Writes the items as one free-format record on `out` and ends the run with status 1.
template <class... T>
[[noreturn]] void stop(std::ostream& out, const T&... items) {
    record r;
    (r << ... << items);
    out << r;
    throw run_stop{};
}

}  // namespace korva
