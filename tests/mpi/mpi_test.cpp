// The MPI build of korva under mpirun (Open MPI): every example gives on 1, 2 and 3 ranks the
// bytes a serial run gives (its expected files), and a run that ends early, on a rank other than
// 0 or on rank 0 before or after the points, ends every rank with the serial run's message,
// standard error and status. Ranks are oversubscribed on a small machine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/early_ends.hpp"
#include "support/expected_files.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;
using test::compare_with_expected;
using test::mask_cpu;
using test::plot_files;
using test::read_file;

const fs::path examples = fs::path(KORVA_SOURCE_DIR) / "examples";

// The command prefix that starts korva on `ranks` ranks; 0: korva alone, which runs serially.
// A run that hangs is cut after five minutes and shows as status 124. -q keeps mpirun's own
// notes off standard error; shared-memory messages go without the kernel's cross-process copy,
// which containers often forbid (Open MPI then complains on standard error).
std::string launcher(int ranks) {
    std::string cmd = "timeout 300";
    if (ranks == 0) return cmd;
    cmd += " '" + std::string(KORVA_MPIEXEC) +
           "' -q --oversubscribe --mca btl_vader_single_copy_mechanism none -np " +
           std::to_string(ranks);
    if (::geteuid() == 0) cmd += " --allow-run-as-root";
    return cmd;
}

test::program_run run_ranks(const fs::path& dir, int ranks) {
    for (const fs::path& p : plot_files(dir)) fs::remove(p);
    return test::run_in(dir, read_file(dir / "deck.in"), KORVA_BINARY, launcher(ranks));
}

TEST(MpiRun, EveryExampleGivesTheSerialBytesOnOneTwoAndThreeRanks) {
    for (const std::string name : {"cu-k", "two-types", "planar", "small"}) {
        const fs::path dir = test::scratch_dir("mpi_" + name);
        test::copy_deck_and_data(examples / name, dir);
        for (int ranks : {0, 1, 2, 3}) {
            SCOPED_TRACE(name + ", ranks " + std::to_string(ranks));
            compare_with_expected(examples / name / "expected", run_ranks(dir, ranks));
        }
    }
}

TEST(MpiRun, ARunThatEndsEarlyEndsEveryRankAsTheSerialRunEnds) {
    for (const test::early_end& c : test::early_ends()) {
        const fs::path dir = test::scratch_dir("mpi_end");
        test::copy_deck_and_data(examples / "small", dir);
        c.change(dir);
        const test::program_run serial = run_ranks(dir, 0);
        ASSERT_EQ(serial.status, c.status) << c.name;
        const std::string last = c.last_line;
        ASSERT_EQ(serial.out.substr(serial.out.size() - std::min(serial.out.size(), last.size())),
                  last)
            << c.name;
        for (int ranks : {2, 3}) {
            SCOPED_TRACE(std::string(c.name) + ", ranks " + std::to_string(ranks));
            const test::program_run r = run_ranks(dir, ranks);
            EXPECT_EQ(r.status, c.status);  // 124: a rank did not end
            EXPECT_EQ(mask_cpu(r.out), mask_cpu(serial.out));
            EXPECT_EQ(r.err, serial.err);
            EXPECT_TRUE(plot_files(dir).empty());
        }
    }
}

}  // namespace
}  // namespace korva
