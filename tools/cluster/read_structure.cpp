#include "read_structure.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korva::cluster {
namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool contains_nocase(const std::string& text, const std::string& word) {
    return lower(text).find(word) != std::string::npos;
}

// The first line that is neither blank nor a '#' comment.
std::string first_content_line(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto p = line.find_first_not_of(" \t\r");
        if (p != std::string::npos && line[p] != '#') return line.substr(p);
    }
    return {};
}

bool starts_with_count(const std::string& line) {
    std::istringstream is(line);
    long n = 0;
    std::string rest;
    return (is >> n) && n > 0 && !(is >> rest);
}

bool has_pdb_record(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        for (const char* rec : {"ATOM  ", "HETATM", "CRYST1", "HEADER"})
            if (line.rfind(rec, 0) == 0) return true;
    return false;
}

file_format cif_kind(const std::string& text) {
    return contains_nocase(text, "_atom_site.cartn_x") ? file_format::mmcif : file_format::cif;
}

std::string read_whole_file(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw cluster_error(exit_unreadable, path + ": cannot read the structure: is a directory");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw cluster_error(exit_unreadable,
                            path + ": cannot open the structure: " + std::strerror(errno));
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) throw cluster_error(exit_unreadable, path + ": cannot read the structure");
    return s.str();
}

}  // namespace

file_format format_of(const std::string& path, const std::string& text) {
    const std::string ext = lower(std::filesystem::path(path).extension().string());
    if (ext == ".cif") return cif_kind(text);
    if (ext == ".mmcif") return file_format::mmcif;
    if (ext == ".pdb" || ext == ".ent") return file_format::pdb;
    if (ext == ".xyz") return file_format::xyz;
    const std::string first = first_content_line(text);
    if (lower(first).rfind("data_", 0) == 0) return cif_kind(text);
    if (starts_with_count(first)) return file_format::xyz;
    if (has_pdb_record(text)) return file_format::pdb;
    throw cluster_error(exit_unreadable,
                        path +
                            ": cannot tell the format (not CIF, mmCIF, PDB or XYZ); name the "
                            "file with its extension");
}

structure read_structure(const std::string& path, int frame) {
    const std::string text = read_whole_file(path);
    const file_format f = format_of(path, text);
    if (frame != 1 && f != file_format::xyz)
        throw cluster_error(exit_wrong_value, "--frame " + std::to_string(frame) + ": " + path +
                                                  " is not an XYZ trajectory (one frame)");
    structure s;
    switch (f) {
        case file_format::cif:
            s = read_crystal(text, path);
            break;
        case file_format::xyz:
            s = read_xyz(text, path, frame);
            break;
        case file_format::mmcif:
        case file_format::pdb:
            s = read_macromolecule(text, path, f);
            break;
    }
    s.path = path;
    s.name = std::filesystem::path(path).stem().string();
    s.format = f;
    return s;
}

}  // namespace korva::cluster
