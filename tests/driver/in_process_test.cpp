// A run called in a process that keeps its own working directory: the deck's folder given to
// the run, the plots kept in memory, progress heard and the run stopped between points.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

const fs::path example = fs::path(KORVA_SOURCE_DIR) / "examples" / "two-types";

std::string run_with(const run_options& opt) {
    std::istringstream deck(test::read_file(example / "deck.in"));
    std::ostringstream out;
    run(deck, out, opt);
    return out.str();
}

TEST(InProcess, TheFolderAndPlotsInMemoryGiveTheProgramsBytes) {
    const fs::path dir = test::scratch_dir("in_process");
    test::copy_deck_and_data(example, dir);
    const test::program_run program = test::run_in(dir, test::read_file(dir / "deck.in"));
    ASSERT_EQ(program.status, 0) << program.err;

    std::vector<plot_text> plots;
    std::vector<std::pair<int, int>> heard;
    run_options opt;
    opt.place = {dir.string(), &plots};
    opt.watch.progress = [&](int taken, int total) { heard.emplace_back(taken, total); };
    EXPECT_EQ(test::mask_cpu(run_with(opt)), test::mask_cpu(program.out));
    ASSERT_EQ(plots.size(), 4u);
    for (const plot_text& p : plots) EXPECT_EQ(p.text, test::read_file(dir / p.name)) << p.name;
    // Two channels of 50 points each, heard in point order.
    ASSERT_EQ(heard.size(), 100u);
    for (int k = 1; k <= 100; ++k) EXPECT_EQ(heard[k - 1], std::make_pair(k, 100));

    // Plot files written in the folder, not in the working directory.
    const fs::path other = test::scratch_dir("in_process_files");
    test::copy_deck_and_data(example, other);
    opt.place = {other.string(), nullptr};
    opt.watch = {};
    run_with(opt);
    for (const plot_text& p : plots) EXPECT_EQ(test::read_file(other / p.name), p.text) << p.name;
}

TEST(InProcess, ACancelStopsTheRunBetweenPointsWithNoPlot) {
    const fs::path dir = test::scratch_dir("in_process_cancel");
    test::copy_deck_and_data(example, dir);
    std::vector<plot_text> plots;
    std::atomic<bool> cancel{false};
    int last = 0;
    run_options opt;
    opt.place = {dir.string(), &plots};
    opt.watch.progress = [&](int taken, int) { cancel = (last = taken) == 3; };
    opt.watch.cancel = &cancel;
    EXPECT_THROW(run_with(opt), run_cancelled);
    EXPECT_EQ(last, 3);
    EXPECT_TRUE(plots.empty());
    for (const auto& f : fs::directory_iterator(dir))
        EXPECT_EQ(f.path().string().find("_kor."), std::string::npos) << f.path();
}

}  // namespace
}  // namespace korva
