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

// One frame's atoms from the line after its comment line; `first_line` is the file's line number
// of the frame's count line.
std::vector<atom_site> read_frame(std::istream& in, int n, int first_line,
                                  const std::string& path) {
    std::vector<atom_site> atoms;
    std::string line;
    for (int i = 1; i <= n; ++i) {
        if (!std::getline(in, line))
            bad_line(path, first_line + i + 1,
                     "the file ends after " + std::to_string(i - 1) + " of " + std::to_string(n) +
                         " atoms");
        atoms.push_back(read_atom(line, i, first_line + i + 1, path));
    }
    return atoms;
}

// A later frame must hold the first frame's atoms, element by element: the same molecule moved.
void check_frame(const std::vector<atom_site>& first, const std::vector<atom_site>& atoms,
                 int frame, int count_line, const std::string& path) {
    for (std::size_t i = 0; i < atoms.size(); ++i)
        if (atoms[i].z != first[i].z)
            bad_line(path, count_line + static_cast<int>(i) + 2,
                     "frame " + std::to_string(frame) + ", atom " + std::to_string(i + 1) + ": " +
                         atoms[i].element + " where frame 1 has " + first[i].element +
                         "; the frames of a trajectory must list the same atoms in one order");
}

// The next non-blank line: the count line of another frame (its count, and its line number in
// `line_no`), or 0 at the end of the file; stray text gets a note and ends the reading.
int next_frame(std::istream& in, int& line_no, structure& s) {
    std::string line;
    while (std::getline(in, line)) {
        ++line_no;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const int n = count_in(line);
        if (n == 0) s.notes.push_back("lines after the last atom are ignored");
        return n;
    }
    return 0;
}

}  // namespace

structure read_xyz(const std::string& text, const std::string& path, int frame) {
    std::istringstream in(text);
    structure s;
    const int n = read_count(in, path);
    std::string line;
    if (!std::getline(in, line)) bad_line(path, 2, "the file ends before the comment line");
    const std::vector<atom_site> first = read_frame(in, n, 1, path);
    s.sites = first;
    int line_no = n + 2;
    for (int count = next_frame(in, line_no, s); count > 0; count = next_frame(in, line_no, s)) {
        const int count_line = line_no;
        ++s.frames;
        if (count != n)
            bad_line(path, count_line,
                     "frame " + std::to_string(s.frames) + " holds " + std::to_string(count) +
                         " atoms, frame 1 holds " + std::to_string(n) +
                         ": the frames of a trajectory must hold the same atoms");
        if (!std::getline(in, line))
            bad_line(path, count_line + 1,
                     "the file ends before the comment line of frame " + std::to_string(s.frames));
        const std::vector<atom_site> atoms = read_frame(in, n, count_line, path);
        check_frame(first, atoms, s.frames, count_line, path);
        if (s.frames == frame) s.sites = atoms;
        line_no = count_line + n + 1;
    }
    if (frame > s.frames)
        throw cluster_error(exit_wrong_value, "--frame " + std::to_string(frame) + ": " + path +
                                                  " holds " + std::to_string(s.frames) +
                                                  (s.frames == 1 ? " frame" : " frames"));
    if (s.frames > 1)
        s.notes.push_back("trajectory of " + std::to_string(s.frames) + " frames; frame " +
                          std::to_string(frame) + " is used");
    s.frame = frame;
    s.atoms = s.sites;
    return s;
}

}  // namespace korva::cluster
