// XYZ: a count line, a comment line, then one `El x y z` line per atom (further columns, such
// as forces or charges of extended XYZ, are ignored). gemmi 0.5.7 has no reader for it.
#include <charconv>
#include <cmath>
#include <gemmi/elem.hpp>
#include <sstream>

#include "read_structure.hpp"

namespace korva::cluster {
namespace {

[[noreturn]] void bad_line(const std::string& path, int line, const std::string& what) {
    throw cluster_error(exit_unreadable, path + ":" + std::to_string(line) + ": " + what);
}

bool parse_double(const std::string& word, double& v) {
    const char* end = word.data() + word.size();
    const auto r = std::from_chars(word.data(), end, v);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(v);
}

// An element symbol (any case) or an atomic number; El::X when it is neither.
gemmi::Element element_from(const std::string& word) {
    int z = 0;
    const char* end = word.data() + word.size();
    const auto r = std::from_chars(word.data(), end, z);
    if (r.ec == std::errc() && r.ptr == end) return gemmi::Element(z);
    const bool letters = !word.empty() && word.size() <= 2 &&
                         std::isalpha(static_cast<unsigned char>(word[0])) &&
                         (word.size() == 1 || std::isalpha(static_cast<unsigned char>(word[1])));
    return letters ? gemmi::Element(word) : gemmi::Element(gemmi::El::X);
}

// A line holding one positive integer below ten million (the count line of a frame), or 0.
int count_in(const std::string& line) {
    std::istringstream is(line);
    long n = 0;
    std::string rest;
    if (!(is >> n) || (is >> rest) || n < 1 || n >= 10000000) return 0;
    return static_cast<int>(n);
}

int read_count(std::istream& in, const std::string& path) {
    std::string line;
    if (!std::getline(in, line))
        bad_line(path, 1, "the file is empty; an XYZ file starts with the number of atoms");
    const int n = count_in(line);
    if (n == 0) bad_line(path, 1, "'" + line + "' is not a number of atoms");
    return n;
}

atom_site read_atom(const std::string& line, int number, int line_no, const std::string& path) {
    std::istringstream is(line);
    std::string el, x, y, z;
    if (!(is >> el >> x >> y >> z))
        bad_line(path, line_no, "atom " + std::to_string(number) + ": expected 'El x y z'");
    const gemmi::Element e = element_from(el);
    if (e == gemmi::El::X)
        bad_line(path, line_no,
                 "atom " + std::to_string(number) + ": '" + el + "' is not an element symbol");
    atom_site a;
    if (!parse_double(x, a.r[0]) || !parse_double(y, a.r[1]) || !parse_double(z, a.r[2]))
        bad_line(path, line_no,
                 "atom " + std::to_string(number) + ": a coordinate is not a finite number");
    a.element = e.name();
    a.z = e.atomic_number();
    a.number = number;
    a.file_site = number - 1;
    return a;
}

// Anything after the atoms: another frame of a trajectory, or stray text the user should know of.
void note_trailing_lines(std::istream& in, structure& s) {
    std::string line;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        s.notes.push_back(count_in(line) > 0
                              ? "the file holds more than one frame; the first is used"
                              : "lines after the last atom are ignored");
        return;
    }
}

}  // namespace

structure read_xyz(const std::string& text, const std::string& path) {
    std::istringstream in(text);
    structure s;
    const int n = read_count(in, path);
    std::string line;
    if (!std::getline(in, line)) bad_line(path, 2, "the file ends before the comment line");
    for (int i = 1; i <= n; ++i) {
        if (!std::getline(in, line))
            bad_line(path, i + 2,
                     "the file ends after " + std::to_string(i - 1) + " of " + std::to_string(n) +
                         " atoms");
        s.sites.push_back(read_atom(line, i, i + 2, path));
    }
    note_trailing_lines(in, s);
    s.atoms = s.sites;
    return s;
}

}  // namespace korva::cluster
