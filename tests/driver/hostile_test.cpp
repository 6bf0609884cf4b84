// Inputs far outside what a deck or data file normally holds: each run ends cleanly, with a
// message where the input is wrong, and without growing with the size of the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>

#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

// Runs the program with its address space bounded to 64 MB (a million records held in memory
// would not fit); the sanitizer's shadow memory needs far more, so its builds go unbounded.
#if defined(__SANITIZE_ADDRESS__)
const std::string bounded = "";
#else
const std::string bounded = "ulimit -v 65536;";
#endif

test::program_run run_bounded(const fs::path& dir, const std::string& deck) {
    return test::run_in(dir, deck, KORVA_BINARY, bounded);
}

std::string record(double e, int l) {
    std::ostringstream s;
    s << e << ' ' << std::sqrt(e) << " -0.01 1 " << l << ' ' << 0.2 / (l + 1) << ' '
      << -0.1 / (l + 1) << '\n';
    return s.str();
}

std::string sigma_file(int nen) {
    std::ostringstream s;
    s << "c\n";
    for (int e = 1; e <= nen; ++e) s << 0.5 + 0.1 * e << " 0 0 0 0.5 1 0\n";
    return s.str();
}

std::string deck(const std::string& ps, const std::string& prefix = "hos") {
    return ps + "\nt.xs\n" + prefix +
           "\n2\n0 0 0 1\n0 0 2.5 1\n0\n0.001 2 0.0001 150\n2 0 0 8979 1\n0\n0 5 0.01\n0\n";
}

TEST(HostileSizes, MillionRecordsOfNineEnergyPointsAreReadInBoundedMemory) {
    const fs::path dir = test::scratch_dir("million_same");
    std::string ps = "c\n";
    ps.reserve(40u << 20);
    // 111112 records per point, l cycling over 0..2; the last of each l wins.
    for (int e = 1; e <= 9; ++e)
        for (int n = 0; n < 111112; ++n) ps += record(0.5 + 0.1 * e, n % 3);
    test::write_file(dir / "t.ps", ps);
    test::write_file(dir / "t.xs", sigma_file(9));
    const auto r = run_bounded(dir, deck("t.ps"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" ** PHASE SHIFTS READ FOR    1  ATOMS AND    9 ENERGY POINTS **"),
              std::string::npos);
}

TEST(HostileSizes, MillionEnergyPointsStopAtTheCapacity) {
    const fs::path dir = test::scratch_dir("million_points");
    std::string ps = "c\n";
    ps.reserve(40u << 20);
    for (int e = 1; e <= 1000000; ++e) ps += record(0.5 + 0.001 * e, 0);
    test::write_file(dir / "t.ps", ps);
    test::write_file(dir / "t.xs", sigma_file(151));
    const auto r = run_bounded(dir, deck("t.ps"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("INCREASE NER_ TO          151"), std::string::npos);
}

TEST(HostileSizes, MillionAtomsRequestedStopBeforeAnyCoordinateIsRead) {
    const fs::path dir = test::scratch_dir("million_atoms");
    test::write_file(dir / "t.ps", "c\n" + record(0.6, 0));
    test::write_file(dir / "t.xs", sigma_file(1));
    const auto r = run_bounded(dir, "t.ps\nt.xs\nhos\n1000000\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(" DIMENSION ERROR SET NAT_  =     1000000"), std::string::npos);
}

// A file name is the first 80 characters of its line: a longer line names the file of its
// first 80 characters, and a 500-character name that exists nowhere is simply not found.
TEST(HostileSizes, FileNamesOfFiveHundredCharacters) {
    const fs::path dir = test::scratch_dir("long_name");
    std::string ps = "c\n";
    for (int e = 1; e <= 9; ++e)
        for (int l = 0; l <= 2; ++l) ps += record(0.5 + 0.1 * e, l);
    const std::string name80(80, 'p');
    test::write_file(dir / name80, ps);
    test::write_file(dir / "t.xs", sigma_file(9));
    auto r = run_bounded(dir, deck(name80 + std::string(420, 'q')));
    EXPECT_EQ(r.status, 0) << r.err;
    r = run_bounded(dir, deck(std::string(500, 'q')));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(" *** ERROR PHASE SHIFT FILE NOT FOUND ***"), std::string::npos);
}

// Lines of 100 kB: blanks between the values of a deck answer and of a data record, and a
// comment line of that length.
TEST(HostileSizes, LinesOfAHundredKilobytes) {
    const fs::path dir = test::scratch_dir("long_lines");
    const std::string wide(100000, ' ');
    std::string ps = std::string(100000, 'c') + '\n';
    for (int e = 1; e <= 9; ++e)
        for (int l = 0; l <= 2; ++l) {
            std::string rec = record(0.5 + 0.1 * e, l);
            rec.insert(rec.find(' '), wide);
            ps += rec;
        }
    test::write_file(dir / "t.ps", ps);
    test::write_file(dir / "t.xs", sigma_file(9));
    std::string d = deck("t.ps");
    d.replace(d.find("\n0.001 "), 1, "\n" + wide);
    const auto r = run_bounded(dir, d);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" ** PHASE SHIFTS READ FOR    1  ATOMS AND    9 ENERGY POINTS **"),
              std::string::npos);
    // A deck line of 100 kB where a number belongs is unreadable, and says so on one line.
    const auto bad = run_bounded(dir, "t.ps\nt.xs\nhos\n" + std::string(100000, '7') + "x\n");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err.substr(0, 200);
    EXPECT_LT(bad.err.size(), 300u);
}

std::string random_bytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xff);
    return s;
}

// Binary files where text belongs: the deck itself, the phase-shift file, the cross-section
// file. Each ends with status 1 or 2 and leaves no plot file.
TEST(HostileSizes, BinaryFilesAsInput) {
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        const fs::path dir = test::scratch_dir("binary" + std::to_string(seed));
        std::string ps = "c\n";
        for (int e = 1; e <= 9; ++e)
            for (int l = 0; l <= 2; ++l) ps += record(0.5 + 0.1 * e, l);
        test::write_file(dir / "t.ps", ps);
        test::write_file(dir / "t.xs", sigma_file(9));
        test::write_file(dir / "b.bin", random_bytes(1 << 20, seed));
        const auto deck_run = run_bounded(dir, random_bytes(1 << 20, seed + 100));
        EXPECT_TRUE(deck_run.status == 1 || deck_run.status == 2) << deck_run.status;
        const auto ps_run = run_bounded(dir, deck("b.bin"));
        EXPECT_TRUE(ps_run.status == 1 || ps_run.status == 2) << ps_run.status;
        std::string d = deck("t.ps");
        d.replace(d.find("t.xs"), 4, "b.bin");
        const auto xs_run = run_bounded(dir, d);
        EXPECT_TRUE(xs_run.status == 1 || xs_run.status == 2) << xs_run.status;
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().string().find("_kor."), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace korva
