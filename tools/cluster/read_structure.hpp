// Reads a structure file (small-molecule CIF, mmCIF, PDB or XYZ) into the sites the user can
// name and the atoms a cluster is cut from.
#pragma once

#include <string>

#include "structure.hpp"

namespace korva::cluster {

// The format from the extension (.cif .mmcif .pdb .ent .xyz, any case), otherwise from the text.
// A .cif file with Cartesian _atom_site.Cartn_x columns is mmCIF. Throws cluster_error (status
// 2) when neither tells.
file_format format_of(const std::string& path, const std::string& text);

// Reads the whole file and hands its text to the reader of its format; of an XYZ trajectory,
// frame `frame` (from 1), every frame checked. Throws cluster_error: status 2 for a file that
// cannot be read or makes no structure, status 1 for partial occupancy or a frame the file
// lacks (a file other than XYZ holds one frame).
structure read_structure(const std::string& path, int frame = 1);

// The readers, each on the file's whole text; `path` is for messages only.
structure read_crystal(const std::string& text, const std::string& path);
structure read_macromolecule(const std::string& text, const std::string& path, file_format f);
// XYZ: one frame, or a trajectory of frames one after another; every frame must list the first
// frame's atoms (their count and elements, in order).
structure read_xyz(const std::string& text, const std::string& path, int frame = 1);

// Occupancies from 0.99 to 1.01 count as full: files write 1/3 + 2/3 or 0.999 with rounding.
constexpr double full_occupancy_tolerance = 0.01;

}  // namespace korva::cluster
