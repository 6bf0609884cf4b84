// Runs of the small example that end early, at each stage a run spread over a team can end in:
// a team must end each of them with the serial run's output, standard error and status.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace korva::test {

struct early_end {
    const char* name;
    void (*change)(const std::filesystem::path& dir);  // on a copy of the small example
    int status;
    const char* last_line;  // the end of the serial run's standard output
};

std::vector<early_end> early_ends();

}  // namespace korva::test
