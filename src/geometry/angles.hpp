// The bond list of the cluster in its own frame: length, cosine of the polar angle and
// azimuth of every pair of atoms. Bond 1 (atoms 1 and 2) defines the z axis; azimuths are
// counted from the first bond that is not parallel to it.
#pragma once
#include <ostream>
#include <vector>

#include "common/types.hpp"

namespace korva {

// The cluster frame, kept for the whole run: once the reference direction is chosen it stays.
struct angles_frame {
    real zz[3] = {0, 0, 1};
    real xt0[3] = {0, 0, 0};
    bool jtheta = false;  // reference direction chosen
};

// Bond b = 1..nat(nat-1)/2 at index b - 1; pair (i, j), i < j, is bond (i-1)(2N-i)/2 + j - i.
struct bond_list {
    std::vector<real> rbond, cbond, tbond;
    bool thetanz = false;  // some azimuth is not zero
    int count() const { return static_cast<int>(rbond.size()); }
};

// The length of every bond, in bond order: pair (i, j), i < j, at index
// (i-1)(2N-i)/2 + j - i - 1.
std::vector<real> bond_lengths(int nat, const real* xat, const real* yat, const real* zat);

// Coordinates in Bohr radii, atom i at index i - 1; nat >= 2 and no two atoms at the same
// place (the caller checks bond_lengths). Lists the first 50 bonds on `out`.
void angles(angles_frame& frame, std::ostream& out, int nat, const real* xat, const real* yat,
            const real* zat, bond_list& bonds);

}  // namespace korva
