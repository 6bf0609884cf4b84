#include "support/expected_files.hpp"

#include <gtest/gtest.h>

namespace korva::test {

namespace fs = std::filesystem;

std::vector<fs::path> plot_files(const fs::path& dir) {
    std::vector<fs::path> plots;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() &&
            entry.path().filename().string().find("_kor.") != std::string::npos)
            plots.push_back(entry.path());
    return plots;
}

void compare_with_expected(const fs::path& expected, const program_run& r) {
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(fs::exists(expected / "stdout.txt")) << "no expected output in " << expected;
    EXPECT_EQ(mask_cpu(r.out), mask_cpu(read_file(expected / "stdout.txt")));
    std::size_t nexpected = 0;
    for (const auto& entry : fs::directory_iterator(expected)) {
        const std::string f = entry.path().filename().string();
        if (f == "stdout.txt") continue;
        ++nexpected;
        ASSERT_TRUE(fs::exists(r.dir / f)) << f << " was not written";
        EXPECT_EQ(read_file(r.dir / f), read_file(entry.path())) << f;
    }
    EXPECT_EQ(plot_files(r.dir).size(), nexpected) << "plot files written vs expected";
}

}  // namespace korva::test
