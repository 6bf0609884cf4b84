#include "post/plotin.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace korva {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

TEST(Plotin, HeaderLines) {
    std::ostringstream file;
    real size = 1.0f;
    plotin(file, "[users.korva]abc_kor.dat", 1, size);
    const std::string name = "abc_kor.dat" + std::string(69, ' ');
    EXPECT_EQ(file.str(),
              " SET MODE VECTOR\n"
              " SET WINDOW X 2 12 Y 2 8.5\n"
              " SET LIMITS X 0 17 Y -.75 +.75\n"
              "  0. 0. \n"
              " PLOT\n"
              " TITLE TOP \"          file   " +
                  name +
                  "\"\n"
                  " TITLE 6.1 1.4 SIZE 2.5 \"k1(4A515O20-11)\"\n"
                  " CASE                  \" U C CVUSVC  C \"\n");
    const auto lines = lines_of(file.str());
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[5].size(), 1u + 10u + 1u + 10u + 4u + 3u + 80u + 1u);
    // The CASE quote stands one column left of the quote of the title above it.
    EXPECT_EQ(lines[7].find('"') + 1, lines[6].find('"'));
    EXPECT_EQ(size, 1.0f);
}

TEST(Plotin, SizeByFlag) {
    const std::pair<int, real> cases[] = {{0, 0.65f}, {1, 9.0f}, {2, 0.55f}, {3, 0.75f},
                                          {4, 0.75f}, {5, 9.0f}, {-1, 9.0f}, {100, 9.0f}};
    for (const auto& [flag, expect] : cases) {
        std::ostringstream file;
        real size = 9.0f;
        plotin(file, "x.dat", flag, size);
        EXPECT_EQ(size, expect) << "flag=" << flag;
    }
}

TEST(Nome, DirectoryPrefixIsStripped) {
    std::string name = "[disk.dir]file.dat";
    nome(name);
    EXPECT_EQ(name, "file.dat" + std::string(72, ' '));
    // Only the first "]" counts.
    name = "a]b]c";
    nome(name);
    EXPECT_EQ(name, "b]c" + std::string(77, ' '));
}

TEST(Nome, NameWithoutBracketIsUnchanged) {
    std::string name = "/tmp/plain_kor.chi" + std::string(62, ' ');
    const std::string before = name;
    nome(name);
    EXPECT_EQ(name, before);
    // A shorter text is an 80-character name padded with blanks.
    name = "short";
    nome(name);
    EXPECT_EQ(name, "short" + std::string(75, ' '));
}

TEST(Nome, BracketInColumn80LeavesBlanks) {
    std::string name = std::string(79, 'x') + "]";
    nome(name);
    EXPECT_EQ(name, std::string(80, ' '));
    // A "]" past column 80 is not part of the name.
    name = std::string(80, 'y') + "]z";
    nome(name);
    EXPECT_EQ(name, std::string(80, 'y'));
}

}  // namespace
}  // namespace korva
