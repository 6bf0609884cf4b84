// The lines of a text, for tests that pin a written file or an output line by line.
#pragma once
#include <sstream>
#include <string>
#include <vector>

namespace korva::test {

// Each line without its newline; a last line without one counts too.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

}  // namespace korva::test
