// Whole runs of the example decks, compared with their stored expected standard output and
// plot files; only the CPU-time figures are ignored. With KORVA_UPDATE_EXPECTED=1 in the
// environment the expected files are rewritten instead (inspect them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;
using test::mask_cpu;
using test::read_file;

const fs::path examples = fs::path(KORVA_SOURCE_DIR) / "examples";

test::program_run run_example(const std::string& name) {
    const fs::path src = examples / name;
    const fs::path dir = test::scratch_dir("example_" + name);
    for (const auto& entry : fs::directory_iterator(src))
        if (entry.is_regular_file()) fs::copy_file(entry.path(), dir / entry.path().filename());
    return test::run_in(dir, read_file(src / "deck.in"));
}

void compare_with_expected(const std::string& name) {
    const fs::path expected = examples / name / "expected";
    const test::program_run r = run_example(name);
    ASSERT_EQ(r.status, 0) << r.err;
    const bool update = std::getenv("KORVA_UPDATE_EXPECTED") != nullptr;
    std::vector<fs::path> plots;
    for (const auto& entry : fs::directory_iterator(r.dir)) {
        const std::string f = entry.path().filename().string();
        if (f.find("_kor.") != std::string::npos) plots.push_back(entry.path());
    }
    if (update) {
        fs::create_directories(expected);
        for (const auto& entry : fs::directory_iterator(expected)) fs::remove(entry.path());
        test::write_file(expected / "stdout.txt", r.out);
        for (const fs::path& p : plots) fs::copy_file(p, expected / p.filename());
        GTEST_SKIP() << "expected files of " << name << " rewritten";
    }
    ASSERT_TRUE(fs::exists(expected / "stdout.txt")) << "no expected output for " << name;
    EXPECT_EQ(mask_cpu(r.out), mask_cpu(read_file(expected / "stdout.txt")));
    std::size_t nexpected = 0;
    for (const auto& entry : fs::directory_iterator(expected)) {
        const std::string f = entry.path().filename().string();
        if (f == "stdout.txt") continue;
        ++nexpected;
        ASSERT_TRUE(fs::exists(r.dir / f)) << f << " was not written";
        EXPECT_EQ(read_file(r.dir / f), read_file(entry.path())) << f;
    }
    EXPECT_EQ(plots.size(), nexpected) << "plot files written vs expected";
}

// The reference solver (row lists, one channel at a time) and the streaming one on one and
// on two threads write the same bytes.
class SolverPaths : public ::testing::TestWithParam<std::string> {};

TEST_P(SolverPaths, PlainAndStreamingOnOneAndTwoThreadsAgree) {
    if (std::getenv("KORVA_UPDATE_EXPECTED") != nullptr) GTEST_SKIP();
    struct path {
        const char* solver;
        const char* threads;
    };
    for (const path& p : {path{"plain", "1"}, path{"stream", "1"}, path{"stream", "2"}}) {
        SCOPED_TRACE(std::string(p.solver) + " solver, " + p.threads + " thread(s)");
        setenv("KORVA_SOLVER", p.solver, 1);
        setenv("OMP_NUM_THREADS", p.threads, 1);
        compare_with_expected(GetParam());
        unsetenv("KORVA_SOLVER");
        unsetenv("OMP_NUM_THREADS");
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, SolverPaths,
                         ::testing::Values("cu-k", "two-types", "planar", "small"),
                         [](const auto& info) {
                             std::string s = info.param;
                             for (char& c : s)
                                 if (c == '-') c = '_';
                             return s;
                         });

TEST(Examples, CopperKEdge) {
    compare_with_expected("cu-k");
}
TEST(Examples, TwoChannelEdgeWithExperiment) {
    compare_with_expected("two-types");
}
TEST(Examples, PlanarMoleculeWithoutAzimuths) {
    compare_with_expected("planar");
}
TEST(Examples, SmallDeck) {
    compare_with_expected("small");
}

}  // namespace
}  // namespace korva
