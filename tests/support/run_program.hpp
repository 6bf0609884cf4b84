// Runs the korva program in a scratch directory and captures what it writes.
#pragma once
#include <filesystem>
#include <map>
#include <string>

#include "driver/run.hpp"

namespace korva::test {

struct program_run {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
    std::filesystem::path dir;
};

// A fresh, empty scratch directory (removed by the next call with the same tag).
std::filesystem::path scratch_dir(const std::string& tag);
// Writes a text file.
void write_file(const std::filesystem::path& p, const std::string& text);
std::string read_file(const std::filesystem::path& p);
// Runs `binary` (default: korva) in `dir` with `deck` on standard input. `shell_setup` is run
// by the same shell first (limits, traps); `stdout_to` receives standard output.
program_run run_in(const std::filesystem::path& dir, const std::string& deck,
                   const std::string& binary = KORVA_BINARY, const std::string& shell_setup = "",
                   const std::string& stdout_to = "stdout.txt");
// Runs the shell command line `command` in `dir`, standard output and error to stdout.txt and
// stderr.txt there; standard input is empty unless the command redirects it.
program_run run_command(const std::filesystem::path& dir, const std::string& command);
// Runs the program's own run() in `dir`, in this process, with `options`: standard output is
// captured, an early end gives the status and standard-error line the program would.
program_run run_inside(const std::filesystem::path& dir, const std::string& deck,
                       const run_options& options);
// Copies the deck of an example folder and every file its lines name (the data files) into
// `dir`; nothing else of the folder, so files an earlier run left there play no part.
void copy_deck_and_data(const std::filesystem::path& example, const std::filesystem::path& dir);
// Replaces the CPU-time figures of the timing lines by '#', so runs can be compared.
std::string mask_cpu(const std::string& text);

}  // namespace korva::test
