// The korva-plot command: renders plot-command files to pictures or lists their curves as
// columns, and returns the exit status.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace korva::plot {

// Exit statuses: 0 done (warnings allowed), 1 usage error or a file that cannot be read or
// written, 2 an input file with a malformed data line. With several files the highest counts.
constexpr int exit_done = 0;
constexpr int exit_io = 1;
constexpr int exit_bad_line = 2;

std::string_view help_text();

// `args` are the command-line arguments after the program name.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace korva::plot
