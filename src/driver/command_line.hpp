// The program's command line: the deck always comes on standard input; the options ask for the
// usage text or the version instead of a run, or change how the run computes.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/types.hpp"

namespace korva {

struct command_line {
    enum class action { run, help, version };
    action what = action::run;
    // --polarisation EX EY EZ, each normalised to length 1, in the order given.
    std::vector<std::array<real, 3>> polarisations;
};

// Reads argv[1..argc-1]; throws usage_error for an unknown option, a missing or unreadable
// value, or an argument that is not an option.
command_line parse_command_line(const std::vector<std::string>& args);

// `korva --help`: what the program reads and writes, its exit statuses, its options; the
// capacities of this build.
std::string usage_text();
// `korva --version`: the version and the capacities of this build.
std::string version_text();

}  // namespace korva
