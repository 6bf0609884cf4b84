#include "common/whole_files.hpp"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/errors.hpp"

namespace korva {

namespace {

// The file a name stands for: a symbolic link is followed.
std::string target_of(const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(name, ec)) return name;
    const auto p = std::filesystem::canonical(name, ec);
    return ec ? name : p.string();
}

}  // namespace

void write_whole_files(const std::vector<std::pair<std::string, std::string>>& files) {
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::string>> renames;  // temporary, final
    auto fail = [&](const std::string& name, int err, const char* fallback) {
        for (const auto& r : renames) std::remove(r.first.c_str());
        throw write_error{name, system_reason(err, fallback)};
    };
    for (const auto& [name, text] : files) {
        const std::string target = target_of(name);
        std::error_code ec;
        const bool in_place = fs::exists(target, ec) && !fs::is_regular_file(target, ec);
        const std::string written = in_place ? target : target + ".tmp";
        errno = 0;
        std::ofstream os(written, std::ios::binary | std::ios::trunc);
        if (!os) fail(name, errno, "cannot be opened");
        if (!in_place) renames.push_back({written, target});
        os << text;
        os.close();
        if (!os) fail(name, errno, "the disk may be full");
    }
    for (const auto& [tmp, target] : renames)
        if (std::rename(tmp.c_str(), target.c_str()) != 0) fail(target, errno, "cannot be renamed");
}

}  // namespace korva
