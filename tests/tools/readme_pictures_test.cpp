// Every picture the READMEs show is in the tree, is a picture, and is not hidden from git by an
// ignore pattern (a pattern for run outputs once hid docs/pictures, and the README showed
// broken images).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Targets of the Markdown images ![alt](target) and of HTML <img src="target">, in order.
std::vector<std::string> image_links(const std::string& markdown) {
    static const std::regex image(R"re(!\[[^\]]*\]\(([^)\s]+)|<img[^>]*\ssrc="([^"]+)")re");
    std::vector<std::string> links;
    for (auto m = std::sregex_iterator(markdown.begin(), markdown.end(), image);
         m != std::sregex_iterator(); ++m)
        links.push_back((*m)[1].matched ? (*m)[1].str() : (*m)[2].str());
    return links;
}

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// 0 when git ignores the path, 1 when it does not, anything else when git cannot tell (no git,
// or a source tree that is not a checkout).
int git_check_ignore(const fs::path& repo, const std::string& path) {
    std::string cmd = "git -C '" + repo.string() + "' check-ignore -q -- '" + path +
                      "' >/dev/null 2>&1 </dev/null";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Readme, EveryLinkedPictureIsInTheTreeAndNotIgnored) {
    const fs::path source = KORVA_SOURCE_DIR;
    const char png_signature[] = "\x89PNG\r\n\x1a\n";
    std::size_t total = 0;
    for (const char* readme : {"README.md", "tools/plot/README.md"}) {
        std::string text = slurp(source / readme);
        ASSERT_FALSE(text.empty()) << readme;
        fs::path dir = (source / readme).parent_path();
        for (const std::string& link : image_links(text)) {
            if (link.find("://") != std::string::npos) continue;  // a picture on the web
            ++total;
            fs::path file = dir / link;
            ASSERT_TRUE(fs::is_regular_file(file)) << readme << " shows " << link;
            if (file.extension() == ".png") {
                EXPECT_EQ(slurp(file).rfind(png_signature, 0), 0u)
                    << link << " is not a PNG image (a Git LFS pointer?)";
            }
            std::string relative = fs::relative(file, source).string();
            EXPECT_NE(git_check_ignore(source, relative), 0)
                << relative << " is ignored by .gitignore: a fresh checkout would not have it";
        }
    }
    EXPECT_GE(total, 4u) << "the README shows the plots of the default example";
}

}  // namespace
