#include "post/open.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "common/errors.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

// A fresh directory per test, removed afterwards.
class OpenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = test::scratch_dir(std::string("open_") +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
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
    EXPECT_EQ(read_file(p), " SET MODE VECTOR\n");
}

TEST_F(OpenTest, ExistingLongerFileIsReplacedWhole) {
    const std::string p = path("abc_kor.fou");
    std::ostringstream old;
    for (int i = 0; i < 500; ++i) old << " old line " << i << '\n';
    write_file(p, old.str());
    std::ostringstream out;
    plot_file file;
    open(out, file, p);
    EXPECT_EQ(out.str(), "  ... warning! overwriting previous version ...\n");
    file << " PLOT\n";
    file.commit();
    EXPECT_EQ(read_file(p), " PLOT\n");
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
    EXPECT_EQ(read_file(path("one")), "first\n");
    EXPECT_EQ(read_file(path("two")), "second\n");
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
    write_file(p, "earlier run\n");
    std::ostringstream out;
    plot_file file;
    open(out, file, p);
    EXPECT_TRUE(file.staged());
    file << " SET FONT DUPLEX\n";
    file.flush();
    EXPECT_EQ(read_file(p), "earlier run\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 2);
    file.commit();
    EXPECT_FALSE(file.staged());
    EXPECT_EQ(read_file(p), " SET FONT DUPLEX\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
}

TEST_F(OpenTest, UncommittedFileLeavesNothingBehind) {
    const std::string kept = path("old_kor.chi");
    write_file(kept, "earlier run\n");
    std::ostringstream out;
    {
        plot_file a, b;
        open(out, a, kept);
        open(out, b, path("new_kor.fou"));
        a << "half a plot\n";
        b << "half a plot\n";
    }
    EXPECT_EQ(read_file(kept), "earlier run\n");
    EXPECT_FALSE(fs::exists(path("new_kor.fou")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
}

// A replaced file keeps its permissions; a new one gets the usual ones.
TEST_F(OpenTest, PermissionsOfTheNameAreKept) {
    const std::string p = path("abc_kor.sig");
    write_file(p, "");
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
