// Inputs the fuzz targets of tests/fuzz found, kept under tests/fuzz/findings/<target>/: each
// goes through the same entry point as its target and must end cleanly with a message.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/listread.hpp"
#include "input/experiment.hpp"
#include "support/plot_check.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

const fs::path fuzz_dir = fs::path(KORVA_SOURCE_DIR) / "tests" / "fuzz";

std::string finding(const std::string& target, const std::string& name) {
    return test::read_file(fuzz_dir / "findings" / target / name);
}

// A deck finding, run by the program in a scratch directory holding the fuzz data files, as
// the deck target runs it.
test::program_run run_deck_finding(const std::string& name) {
    const fs::path dir = test::scratch_dir("fuzz_" + name);
    for (const auto& entry : fs::directory_iterator(fuzz_dir / "data"))
        fs::copy_file(entry.path(), dir / entry.path().filename());
    return test::run_in(dir, finding("deck", name));
}

// Every number of every plot file of a run is finite.
void expect_finite_plot_files(const fs::path& dir) {
    EXPECT_EQ(test::non_finite_plot_line(dir), "");
}

// "+-02" was taken as the integer -2 (the plus was dropped, then the minus read); a real it
// is not either. Both readers now refuse it, in a deck record as well.
TEST(FuzzFindings, IntegerWithTwoSignsIsRefused) {
    int n = 7;
    double d = 0;
    EXPECT_FALSE(parse_int("+-02", n));
    EXPECT_FALSE(parse_real("+-02", d));
    EXPECT_TRUE(parse_int("+02", n));
    EXPECT_EQ(n, 2);
    std::istringstream s(finding("listread", "two-signs.txt").substr(1));
    text_input in(s);
    int a = 0, b = 0;
    EXPECT_EQ(read_values(in, a, b), read_status::bad);
    EXPECT_EQ(a, 3);
}

// An energy of -1e38 is finite as read but overflows when taken from keV to eV: the reading
// stops there with the warning, and only the records before it are kept.
TEST(FuzzFindings, ExperimentEnergyOverflowingInKeVConversionStopsReading) {
    std::istringstream f(finding("experiment", "keV-overflow.exp"));
    std::ostringstream out;
    experiment x;
    read_experiment(f, out, x);
    ASSERT_EQ(x.energy.size(), 1u);
    EXPECT_EQ(x.energy[0], 70000.0f);
    EXPECT_EQ(x.value[0], 2.5f);
    EXPECT_EQ(x.smallest, 2.5f);
    EXPECT_NE(out.str().find("!!! WARNING experimental data: reading stopped at record"),
              std::string::npos);
    EXPECT_NE(out.str().find("(not a finite number)"), std::string::npos);
}

// lcore = 1000000 with a two-channel table: the channel l0 = lcore + 1 lies far outside the
// phase-shift table, and the check of the absorbing atom's t_l0 read it out of bounds.
TEST(FuzzFindings, DeckCoreMomentumBeyondTableEndsWithMessage) {
    const auto r = run_deck_finding("lcore-huge.in");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("***"), std::string::npos);
}

// ESP = 60: k^ESP times the signal overflows single precision in the signal plot file.
TEST(FuzzFindings, DeckLargeEspKeepsPlotFilesFinite) {
    const auto r = run_deck_finding("esp-overflow.in");
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status << r.err;
    expect_finite_plot_files(r.dir);
}

// FAC = 3e38: the scaled experimental values overflow in the cross-section plot file.
TEST(FuzzFindings, DeckLargeFacKeepsPlotFilesFinite) {
    const auto r = run_deck_finding("fac-overflow.in");
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status << r.err;
    expect_finite_plot_files(r.dir);
}

}  // namespace
}  // namespace korva
