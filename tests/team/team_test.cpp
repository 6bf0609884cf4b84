// Teams of threads that share the points as the ranks of an MPI job do: a run that ends early
// ends every member as the serial run ends (the examples' bytes on 2 and 3 members are checked
// with the examples).
#include <gtest/gtest.h>

#include "support/early_ends.hpp"
#include "support/expected_files.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

TEST(ThreadTeam, ARunThatEndsEarlyEndsEveryMemberAsTheSerialRunEnds) {
    const fs::path small = fs::path(KORVA_SOURCE_DIR) / "examples" / "small";
    for (const test::early_end& c : test::early_ends()) {
        for (int members : {1, 2, 3}) {
            SCOPED_TRACE(std::string(c.name) + ", members " + std::to_string(members));
            const fs::path dir = test::scratch_dir("team_end");
            test::copy_deck_and_data(small, dir);
            c.change(dir);
            run_options opt;
            opt.threads = 1;
            opt.members = members;
            const test::program_run r =
                test::run_inside(dir, test::read_file(dir / "deck.in"), opt);
            EXPECT_EQ(r.status, c.status) << r.err;
            const std::string last = c.last_line;
            EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), last.size())), last);
            EXPECT_TRUE(test::plot_files(dir).empty());
        }
    }
}

}  // namespace
}  // namespace korva
