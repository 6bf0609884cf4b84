#include "post/open.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/errors.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

// A fresh directory per test, removed afterwards.
class OpenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("korva_open_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

TEST_F(OpenTest, NewFileIsCreatedAndReported) {
    std::ostringstream out;
    plot_file file;
    const std::string p = path("abc_kor.chi");
    ASSERT_FALSE(fs::exists(p));
    open(out, file, p);
    EXPECT_EQ(out.str(), "  ... creating new file ...\n");
    file << " SET MODE VECTOR\n";
    file.commit();
    EXPECT_EQ(slurp(p), " SET MODE VECTOR\n");
}

TEST_F(OpenTest, ExistingLongerFileIsReplacedWhole) {
    const std::string p = path("abc_kor.fou");
    {
        std::ofstream old(p);
        for (int i = 0; i < 500; ++i) old << " old line " << i << '\n';
    }
    std::ostringstream out;
    plot_file file;
    open(out, file, p);
    EXPECT_EQ(out.str(), "  ... warning! overwriting previous version ...\n");
    file << " PLOT\n";
    file.commit();
    EXPECT_EQ(slurp(p), " PLOT\n");
}

TEST_F(OpenTest, ConnectedStreamIsMovedToTheNewFile) {
    std::ostringstream out;
    plot_file file;
    open(out, file, path("one"));
    file << "first\n";
    open(out, file, path("two"));
    file << "second\n";
    file.commit();
    EXPECT_EQ(fs::exists(path("one")), true);
    EXPECT_EQ(slurp(path("one")), "first\n");
    EXPECT_EQ(slurp(path("two")), "second\n");
    EXPECT_EQ(out.str(), "  ... creating new file ...\n  ... creating new file ...\n");
}

TEST_F(OpenTest, UnwritablePathThrowsWithoutAMessage) {
    std::ostringstream out;
    plot_file file;
    const std::string p = path("missing_dir/abc_kor.chi");
    try {
        open(out, file, p);
        FAIL() << "no write_error";
    } catch (const write_error& e) {
        EXPECT_EQ(e.file, p);
        EXPECT_EQ(e.reason, "cannot be created or overwritten (No such file or directory)");
    }
    EXPECT_EQ(out.str(), "");
    // A directory exists but is no file to write either.
    EXPECT_THROW(open(out, file, dir_.string()), write_error);
}

// Until the commit the name keeps what it held and the new lines sit in a file beside it.
TEST_F(OpenTest, NameKeepsItsOldContentUntilTheCommit) {
    const std::string p = path("abc_kor.dat");
    {
        std::ofstream old(p);
        old << "earlier run\n";
    }
    std::ostringstream out;
    plot_file file;
    open(out, file, p);
    EXPECT_TRUE(file.staged());
    file << " SET FONT DUPLEX\n";
    file.flush();
    EXPECT_EQ(slurp(p), "earlier run\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 2);
    file.commit();
    EXPECT_FALSE(file.staged());
    EXPECT_EQ(slurp(p), " SET FONT DUPLEX\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
}

TEST_F(OpenTest, UncommittedFileLeavesNothingBehind) {
    const std::string kept = path("old_kor.chi");
    {
        std::ofstream old(kept);
        old << "earlier run\n";
    }
    std::ostringstream out;
    {
        plot_file a, b;
        open(out, a, kept);
        open(out, b, path("new_kor.fou"));
        a << "half a plot\n";
        b << "half a plot\n";
    }
    EXPECT_EQ(slurp(kept), "earlier run\n");
    EXPECT_FALSE(fs::exists(path("new_kor.fou")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
}

// A replaced file keeps its permissions; a new one gets the usual ones.
TEST_F(OpenTest, PermissionsOfTheNameAreKept) {
    const std::string p = path("abc_kor.sig");
    { std::ofstream old(p); }
    fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    std::ostringstream out;
    plot_file file;
    open(out, file, p);
    file.commit();
    EXPECT_EQ(fs::status(p).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(OpenTest, NameWithANulByteIsRefused) {
    std::ostringstream out;
    plot_file file;
    EXPECT_THROW(open(out, file, std::string("ab\0_kor.dat", 11)), write_error);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace korva
