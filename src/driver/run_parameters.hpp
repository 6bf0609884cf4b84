// The run-parameter record: what the input deck gives and what the set-up derives from it.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "common/types.hpp"

namespace korva {

struct run_parameters {
    std::string psfile;  // phase-shift file name (80 characters at most)
    std::string xsfile;  // cross-section file name
    std::string prefix = "   ";
    std::string outname = "   _kor.";  // prefix + "_kor."; each file adds its extension
    int nat = 0;
    std::vector<real> xat, yat, zat;  // Bohr radii
    std::vector<int> iph;             // phase set of each atom
    int lcore = 0;
    real toll_lmax = 0;
    int mmax = 0;
    real eps = 0;
    int nep = 0;
    int iout = 0;
    int if1 = 0;
    int if2 = 0;
    real ene = 0;
    real fac = 0;
    real esp = 0;
    std::string expfile;              // experimental data file (IF1 > 0 and IF2 = 1)
    real kmin = 0, kmax = 0, dk = 0;  // k range and step of the interpolated chi(k), 1/Angstrom
    real de0 = 0;                     // energy shift, Rydberg
    real rmin = 0;                    // shortest bond, Bohr radii
    // Unit polarisation vectors in the cluster's frame; none: the isotropic spectrum.
    std::vector<std::array<real, 3>> polar;

    // The output file name with a 3-letter extension.
    std::string output_name(const std::string& ext) const { return outname + ext; }
};

}  // namespace korva
