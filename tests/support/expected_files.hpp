// The stored expected output of an example, against a run of its deck.
#pragma once
#include <filesystem>
#include <vector>

#include "support/run_program.hpp"

namespace korva::test {

// The plot files (regular files with "_kor." in their names) in a directory.
std::vector<std::filesystem::path> plot_files(const std::filesystem::path& dir);

// The run ended orderly, wrote nothing on standard error, its standard output equals
// `expected`/stdout.txt but for the CPU-time figures, and it wrote exactly the plot files of
// `expected`, byte for byte.
void compare_with_expected(const std::filesystem::path& expected, const program_run& r);

}  // namespace korva::test
