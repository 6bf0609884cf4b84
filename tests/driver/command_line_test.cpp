// The command line: the usage text and the version without a run, anything else refused.
#include "driver/command_line.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "common/capacities.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

// korva with `args`, a deck that is no deck on standard input.
test::program_run run_with(const std::string& args) {
    test::program_run r;
    r.dir = test::scratch_dir("command_line");
    test::write_file(r.dir / "deck.in", "not a deck\n");
    const std::string cmd = "cd '" + r.dir.string() + "' && '" + KORVA_BINARY + "' " + args +
                            " < deck.in > stdout.txt 2> stderr.txt";
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = test::read_file(r.dir / "stdout.txt");
    r.err = test::read_file(r.dir / "stderr.txt");
    return r;
}

TEST(CommandLine, HelpAndVersionWithoutARunAnythingElseRefused) {
    const test::program_run help = run_with("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, usage_text());
    EXPECT_NE(help.out.find(std::to_string(NAT_) + " atoms"), std::string::npos);
    EXPECT_EQ(run_with("--version").out, version_text());
    const std::pair<const char*, const char*> refused[] = {
        {"--bogus", "korva: unknown option '--bogus' (korva --help lists the options)\n"},
        {"deck.in",
         "korva: unexpected argument 'deck.in': the input deck is read from standard input "
         "(korva < deck.in)\n"},
        {"--polarisation 0 0 0", "korva: --polarisation: the vector must have a length above 0\n"},
        {"--polarisation 1 x 0", "korva: --polarisation: 'x' is not a finite number\n"},
        {"--polarisation 1 0",
         "korva: --polarisation needs three numbers, the vector's x, y and z\n"},
    };
    for (const auto& [args, line] : refused) {
        const test::program_run r = run_with(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, line);
        EXPECT_EQ(r.out, "");
    }
    // A polarisation needs the final state l = 1: an L2,3 deck is refused before anything is
    // written.
    const fs::path two = test::scratch_dir("command_line_l23");
    test::copy_deck_and_data(fs::path(KORVA_SOURCE_DIR) / "examples" / "two-types", two);
    const std::string cmd = "cd '" + two.string() + "' && '" + KORVA_BINARY +
                            "' --polarisation 0 0 1 < deck.in > stdout.txt 2> stderr.txt";
    const int raw = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(test::read_file(two / "stderr.txt"),
              "korva: --polarisation: polarised spectra are computed for K and L1 edges (lcore = "
              "0); the deck has lcore = 1\n");
    EXPECT_EQ(test::read_file(two / "stdout.txt"), "");
}

}  // namespace
}  // namespace korva
