// Looks for values that are not finite in plot-file text or in the plot files of a directory.
#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace korva::test {

// True when `text` holds a non-finite value as the program prints one ("NaN", "Infinity") or
// as the C library does ("nan", "inf").
inline bool has_non_finite_text(const std::string& text) {
    for (const char* bad : {"nan", "NaN", "inf", "Inf"})
        if (text.find(bad) != std::string::npos) return true;
    return false;
}

// The first line of a plot file (NAME_kor.EXT) in `dir` holding "NaN", "Infinity" or
// "-Infinity" as a word, as "NAME: line"; empty when every value is finite. Titles hold the
// prefix, not numbers, and are passed over.
inline std::string non_finite_plot_line(const std::filesystem::path& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find("_kor.") == std::string::npos) continue;
        std::ifstream f(entry.path());
        std::string line;
        while (std::getline(f, line)) {
            if (line.rfind("TITLE", 0) == 0) continue;
            std::istringstream words(line);
            std::string w;
            while (words >> w)
                if (w == "NaN" || w == "Infinity" || w == "-Infinity") return name + ": " + line;
        }
    }
    return {};
}

}  // namespace korva::test
