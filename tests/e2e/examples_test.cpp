// Whole runs of the example decks, compared with their stored expected standard output and
// plot files; only the CPU-time figures are ignored. With KORVA_UPDATE_EXPECTED=1 in the
// environment the expected files are rewritten instead (inspect them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "reference/solver.hpp"
#include "support/expected_files.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;
using test::mask_cpu;
using test::read_file;

const fs::path examples = fs::path(KORVA_SOURCE_DIR) / "examples";

// The program itself, on the deck and data of the example only, in a fresh directory.
test::program_run run_example(const std::string& name, const std::string& tag) {
    const fs::path dir = test::scratch_dir("example_" + name + tag);
    test::copy_deck_and_data(examples / name, dir);
    return test::run_in(dir, read_file(dir / "deck.in"));
}

// The same run inside this process, with options the program itself never takes.
test::program_run run_example(const std::string& name, const std::string& tag,
                              const run_options& opt) {
    const fs::path dir = test::scratch_dir("example_" + name + tag);
    test::copy_deck_and_data(examples / name, dir);
    return test::run_inside(dir, read_file(dir / "deck.in"), opt);
}

void rewrite_expected(const fs::path& expected, const test::program_run& r) {
    fs::create_directories(expected);
    for (const auto& entry : fs::directory_iterator(expected)) fs::remove(entry.path());
    test::write_file(expected / "stdout.txt", r.out);
    for (const fs::path& p : test::plot_files(r.dir)) fs::copy_file(p, expected / p.filename());
}

void compare_with_expected(const std::string& name, const test::program_run& r) {
    test::compare_with_expected(examples / name / "expected", r);
}

bool updating() {
    return std::getenv("KORVA_UPDATE_EXPECTED") != nullptr;
}

class Example : public ::testing::TestWithParam<std::string> {};

// The program as a user runs it (threads from OMP_NUM_THREADS, here the machine's default).
TEST_P(Example, WritesItsExpectedOutputAndPlots) {
    const test::program_run r = run_example(GetParam(), "");
    if (updating()) {
        ASSERT_EQ(r.status, 0) << r.err;
        rewrite_expected(examples / GetParam() / "expected", r);
        GTEST_SKIP() << "expected files of " << GetParam() << " rewritten";
    }
    compare_with_expected(GetParam(), r);
}

// The reference solver (row lists, one channel at a time) in the place of the streaming one,
// the streaming one on one, two and three threads, and teams of two and three members that
// share the points as MPI ranks do, write the same bytes.
TEST_P(Example, ReferenceSolverAndEveryThreadCountAgree) {
    if (updating()) GTEST_SKIP();
    {
        SCOPED_TRACE("reference solver");
        run_options opt;
        opt.threads = 1;
        opt.solver = reference::row_list_solver();
        compare_with_expected(GetParam(), run_example(GetParam(), "_ref", opt));
    }
    for (int threads : {1, 2, 3}) {
        SCOPED_TRACE(std::to_string(threads) + " thread(s)");
        run_options opt;
        opt.threads = threads;
        compare_with_expected(GetParam(), run_example(GetParam(), "_t", opt));
    }
    for (int members : {2, 3}) {
        SCOPED_TRACE(std::to_string(members) + " members");
        run_options opt;
        opt.threads = 1;
        opt.members = members;
        compare_with_expected(GetParam(), run_example(GetParam(), "_m", opt));
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, Example,
                         ::testing::Values("cu-k", "two-types", "planar", "small"),
                         [](const auto& info) {
                             std::string s = info.param;
                             for (char& c : s)
                                 if (c == '-') c = '_';
                             return s;
                         });

}  // namespace
}  // namespace korva
