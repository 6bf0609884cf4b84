#include "support/run_program.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "common/errors.hpp"

namespace korva::test {

std::filesystem::path scratch_dir(const std::string& tag) {
    auto dir = std::filesystem::temp_directory_path() /
               ("korva_test_" + std::to_string(::getpid()) + "_" + tag);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

void write_file(const std::filesystem::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary);
    f << text;
}

std::string read_file(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

namespace {

// Runs `cmd` with the shell; standard output and error are read from `dir`.
program_run run_shell(const std::filesystem::path& dir, const std::string& cmd) {
    program_run r;
    r.dir = dir;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = read_file(dir / "stdout.txt");
    r.err = read_file(dir / "stderr.txt");
    return r;
}

}  // namespace

program_run run_in(const std::filesystem::path& dir, const std::string& deck,
                   const std::string& binary, const std::string& shell_setup,
                   const std::string& stdout_to) {
    write_file(dir / "deck.in", deck);
    return run_shell(dir, "cd '" + dir.string() + "' && " + shell_setup + " '" + binary +
                              "' < deck.in > " + stdout_to + " 2> stderr.txt");
}

program_run run_command(const std::filesystem::path& dir, const std::string& command) {
    return run_shell(dir, "cd '" + dir.string() + "' && (" + command +
                              ") < /dev/null > stdout.txt 2> stderr.txt");
}

program_run run_inside(const std::filesystem::path& dir, const std::string& deck,
                       const run_options& options) {
    program_run r;
    r.dir = dir;
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::istringstream in(deck);
    std::ostringstream out;
    try {
        run(in, out, options);
        r.status = 0;
    } catch (const run_stop&) {
        r.status = 1;
    } catch (const read_error& e) {
        r.status = 2;
        r.err = "korva: " + e.what + "\n";
    } catch (const write_error& e) {
        r.status = 3;
        r.err = "korva: " + e.file + ": " + e.reason + "\n";
    }
    std::filesystem::current_path(home);
    r.out = out.str();
    return r;
}

void copy_deck_and_data(const std::filesystem::path& example, const std::filesystem::path& dir) {
    std::istringstream deck(read_file(example / "deck.in"));
    std::filesystem::copy_file(example / "deck.in", dir / "deck.in");
    for (std::string line; std::getline(deck, line);) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        const std::filesystem::path data = example / line;
        if (line.empty() || line.find('/') != std::string::npos || line == "deck.in" ||
            !std::filesystem::is_regular_file(data) || std::filesystem::exists(dir / line))
            continue;
        std::filesystem::copy_file(data, dir / line);
    }
}

std::string mask_cpu(const std::string& text) {
    // Every timing line carries one figure in milliseconds just before its unit; the field
    // and the blanks before it go, since the field's width is not the figure's.
    static const std::regex figure(
        R"( *-?[0-9*.]+( ms  <<<<| msec  CPU time| msec CPU time| msec  <<<<))");
    return std::regex_replace(text, figure, "#$1");
}

}  // namespace korva::test
