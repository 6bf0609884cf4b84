// The start of the run, as a user sees it: prompts, echoes, early stops and exit statuses.
#include <gtest/gtest.h>

#include "support/run_program.hpp"

namespace korva {
namespace {

using test::run_in;
using test::scratch_dir;
using test::write_file;

const char* ps_four_points =
    "0.5 0.7 -0.01 1 0 0.1 -0.2\n0.5 0.7 -0.01 1 1 0.05 -0.1\n0.5 0.7 -0.01 1 2 0.01 -0.02\n"
    "0.6 0.77 -0.01 1 0 0.1 -0.2\n0.6 0.77 -0.01 1 1 0.05 -0.1\n0.6 0.77 -0.01 1 2 0.01 -0.02\n"
    "0.7 0.84 -0.01 1 0 0.1 -0.2\n0.7 0.84 -0.01 1 1 0.05 -0.1\n0.7 0.84 -0.01 1 2 0.01 -0.02\n"
    "0.8 0.89 -0.01 1 0 0.1 -0.2\n0.8 0.89 -0.01 1 1 0.05 -0.1\n0.8 0.89 -0.01 1 2 0.01 -0.02\n";
const char* xs_four_points =
    "0.5 0 0 0 1.5 1.0 0.0\n0.6 0 0 0 1.4 1.0 0.0\n0.7 0 0 0 1.3 1.0 0.0\n0.8 0 0 0 1.2 1.0 0.0\n";

std::filesystem::path data_dir(const std::string& tag) {
    auto dir = scratch_dir(tag);
    write_file(dir / "t.ps", ps_four_points);
    write_file(dir / "t.xs", xs_four_points);
    return dir;
}

std::string deck(const std::string& atoms, const std::string& controls = "0\n0.001 2 0.0001 10\n") {
    return "t.ps\nt.xs\nab\n" + atoms + controls + "2 0 0 8979 1\n2\n0 5 0.01\n0\n";
}

TEST(Setup, MissingPhaseShiftFileStopsBeforePromptThree) {
    auto dir = data_dir("missing_ps");
    auto r = run_in(dir, "nothere.ps\nt.xs\nab\n");
    EXPECT_EQ(r.status, 1);
    const std::string tail =
        " > INPUT CROSS-SECTION FILE NAME\n  *** ERROR PHASE SHIFT FILE NOT FOUND ***\n";
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    r = run_in(dir, "t.ps\nnothere.xs\nab\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("  *** ERROR CROSS-SECTION FILE NOT FOUND ***\n"), std::string::npos);
    EXPECT_EQ(r.out.find("COMMON (A3)"), std::string::npos);
}

TEST(Setup, AtomCountLimitAt99And100) {
    auto dir = data_dir("nat");
    auto r = run_in(dir, "t.ps\nt.xs\nab\n100\n");
    EXPECT_EQ(r.status, 1);
    const std::string tail =
        "  NUMBER OF ATOMS IN THE STRUCTURE\n  DIMENSION ERROR SET NAT_  =         100     AT "
        "LEAST\n";
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    // 99 atoms on a line 1.5 A apart go on to the end of the set-up.
    std::string atoms = "99\n";
    for (int i = 0; i < 99; ++i) atoms += "0 0 " + std::to_string(1.5 * i) + " 1\n";
    r = run_in(dir, deck(atoms));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(">>>>  initial CPU time"), std::string::npos);
    EXPECT_NE(r.out.find("  BOND   50   ATOMS   1  51"), std::string::npos);
    EXPECT_EQ(r.out.find("  BOND   51 "), std::string::npos);
}

TEST(Setup, UnreadableValuesExitWithStatusTwoAndSayWhat) {
    auto dir = data_dir("bad");
    auto r = run_in(dir, "t.ps\nt.xs\nab\n2.5\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("prompt 4"), std::string::npos) << r.err;
    r = run_in(dir, "t.ps\nt.xs\nab\n2\n0 0 0 1\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("ended early"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("atom 2"), std::string::npos) << r.err;
}

TEST(Setup, DeckValuesTheProgramChecks) {
    auto dir = data_dir("checks");
    const std::string two = "2\n0 0 0 1\n0 0 2 1\n";
    struct bad_case {
        std::string deck, message;
    };
    const bad_case cases[] = {
        {"t.ps\nt.xs\nab\n1\n", "AT LEAST 2 ATOMS"},
        {deck(two, "-1\n0.001 2 0.0001 10\n"),
         "CORE STATE ANGULAR MOMENTUM          -1 IS NEGATIVE"},
        {deck(two, "0\n0.001 -1 0.0001 10\n"), "Mmax ="},
        {deck(two, "0\n0.001 2 0.0001 0\n"), "NEP ="},
        {deck("2\n0 0 0 1\n0 0 2 2\n"), "PHASE SET           2 OF ATOM           2"},
        {deck("2\n0 0 0 1\n0 0 nan 1\n"), "COORDINATES OF ATOM           2 ARE NOT FINITE"},
        {deck("3\n0 0 0 1\n0 0 2 1\n0 0 2 1\n"),
         "ATOMS           2 AND           3 ARE AT THE SAME PLACE"},
    };
    for (const bad_case& c : cases) {
        auto r = run_in(dir, c.deck);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.message << "\n" << r.out;
    }
}

TEST(Setup, NoEnergyPointStopsAfterTheSummary) {
    auto dir = data_dir("empty");
    write_file(dir / "t.ps", "only a comment line\n");
    auto r = run_in(dir, deck("2\n0 0 0 1\n0 0 2 1\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("0 ENERGY POINTS **"), std::string::npos);
    EXPECT_NE(r.out.find("NO ENERGY POINT"), std::string::npos);
}

TEST(Setup, EnergyPointsReducedToNep) {
    auto dir = data_dir("nep");
    auto r = run_in(dir, deck("2\n0 0 0 1\n0 0 2 1\n", "0\n0.001 2 0.0001 1\n"));
    EXPECT_NE(r.out.find("\n  NUMBER OF ENERGY POINTS REDUCED TO            1\n"),
              std::string::npos);
    r = run_in(dir, deck("2\n0 0 0 1\n0 0 2 1\n", "0\n0.001 2 0.0001 4\n"));
    EXPECT_EQ(r.out.find("REDUCED"), std::string::npos);
}

}  // namespace
}  // namespace korva
