// A structure as the cluster cutter sees it: the sites the user can name, and the atoms of one
// unit cell (crystals) or of the whole molecule, in Cartesian Angstrom.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace korva::cluster {

using vec3 = std::array<double, 3>;

// Exit statuses: a value the tool cannot use (wrong option, missing absorber, partial
// occupancy, atoms too close) and a file that cannot be read; output that cannot be written.
constexpr int exit_wrong_value = 1;
constexpr int exit_unreadable = 2;
constexpr int exit_write = 3;

// Anything that ends the run: one line for standard error and the exit status.
struct cluster_error : std::runtime_error {
    int status;
    cluster_error(int st, const std::string& what) : std::runtime_error(what), status(st) {}
};

struct atom_site {
    std::string label;    // CIF _atom_site_label; PDB/mmCIF atom name; empty for XYZ
    std::string element;  // symbol as the periodic table writes it ("Cu")
    int z = 0;            // atomic number
    int number = 0;       // XYZ: position in the file from 1; PDB/mmCIF: serial; CIF: 0
    int file_site = 0;    // index (from 0) of the listed site this atom is an image of
    vec3 r{};             // Cartesian position, Angstrom
};

enum class file_format { cif, mmcif, pdb, xyz };

struct structure {
    std::string path;  // as given on the command line, for messages
    std::string name;  // file name without folder and extension
    file_format format = file_format::xyz;
    // The sites as the file lists them (asymmetric unit of a crystal), in file order.
    std::vector<atom_site> sites;
    // All atoms of one unit cell (crystal) or of the molecule; a crystal repeats them by the
    // lattice vectors.
    std::vector<atom_site> atoms;
    bool periodic = false;
    std::array<vec3, 3> lattice{};   // a, b, c in Cartesian Angstrom (crystal only)
    std::vector<std::string> notes;  // what the reader decided for the user (standard error)
    int frames = 1;                  // XYZ trajectory: the frames in the file
    int frame = 1;                   // the frame read, from 1
};

}  // namespace korva::cluster
