// The absorbing sites a name stands for, each with its multiplicity: what korva-cluster --sites
// lists, so that every inequivalent site of an element can be computed and its spectrum weighted.
#pragma once

#include <string>
#include <vector>

#include "structure.hpp"

namespace korva::cluster {

struct absorber_site {
    int index = 0;         // into structure::sites
    std::string name;      // what --absorber takes to name this one site: its label or number
    std::string element;   // its element symbol
    int multiplicity = 1;  // CIF: its images in the unit cell; otherwise 1
};

// A CIF site label: that site; an element symbol: every listed site of the element (CIF: the
// asymmetric unit's sites; XYZ, PDB, mmCIF: every atom of the element), in file order; an atom
// number (XYZ, PDB, mmCIF): that atom. Throws cluster_error (status 1) as find_absorber does.
std::vector<absorber_site> absorber_sites(const structure& s, const std::string& who);

// What --sites prints: "format F" (cif, mmcif, pdb or xyz), "frames N", then one line
// "site NAME MULTIPLICITY ELEMENT" per site.
std::string sites_text(const structure& s, const std::vector<absorber_site>& sites);

}  // namespace korva::cluster
