#include "core_level.hpp"

#include <algorithm>

#include "psgen_input.hpp"

namespace korva::psgen {

core_level edge_level(const std::string& name) {
    if (name == "K") return {1, 0, 2.0};
    if (name == "L1") return {2, 0, 2.0};
    if (name == "L2") return {2, 1, 2.0};
    if (name == "L3") return {2, 1, 4.0};
    throw psgen_error("unknown edge '" + name + "' (K, L1, L2 or L3)");
}

configuration with_core_hole(const configuration& c, const core_level& core) {
    constexpr int order[][2] = {{1, 0}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0}, {3, 2},
                                {4, 1}, {5, 0}, {4, 2}, {5, 1}, {6, 0}, {4, 3}, {5, 2},
                                {6, 1}, {7, 0}, {5, 3}, {6, 2}, {7, 1}};
    configuration out = c;
    auto at = [&](int n, int l) {
        return std::find_if(out.begin(), out.end(),
                            [&](const subshell& s) { return s.n == n && s.l == l; });
    };
    const auto hole = at(core.n, core.l);
    if (hole == out.end() || hole->occ < 1.0)
        throw psgen_error("the core level " + subshell_label(core.n, core.l) + " is empty");
    hole->occ -= 1.0;
    for (const auto& s : order) {
        const auto it = at(s[0], s[1]);
        const double room = 2.0 * (2 * s[1] + 1) - (it == out.end() ? 0.0 : it->occ);
        if (room < 1.0 || (s[0] == core.n && s[1] == core.l)) continue;
        // Only levels above the occupied core: skip full and inner levels.
        if (it == out.end())
            out.push_back({s[0], s[1], 1.0});
        else
            it->occ += 1.0;
        break;
    }
    std::sort(out.begin(), out.end(), [](const subshell& a, const subshell& b) {
        return a.n != b.n ? a.n < b.n : a.l < b.l;
    });
    return out;
}

namespace {

// Natural widths (FWHM, eV) of the K, L1, L2 and L3 levels, Ne to U, from the recommended values
// of J. L. Campbell and T. Papp, "Widths of the atomic K-N7 levels", At. Data Nucl. Data Tables
// 77, 1 (2001) (transcribed with the table's digits through xraylib's
// AtomicLevelWidth). 0: not tabulated (the L1 level of neon). The Pb L2 entry, 5.04, breaks the
// smooth rise from Tl (5.87) to Bi (6.22); it is kept as tabulated.
constexpr int width_first_z = 10;
constexpr double level_width[][4] = {
    {0.24, 0, 0.01, 0.01},     // 10 Ne
    {0.28, 0.28, 0.02, 0.02},  // 11 Na
    {0.33, 0.46, 0.03, 0.03},  // 12 Mg
    {0.37, 0.78, 0.04, 0.04},  // 13 Al
    {0.43, 0.9, 0.05, 0.05},   // 14 Si
    {0.47, 1.1, 0.07, 0.07},   // 15 P
    {0.52, 1.3, 0.09, 0.09},   // 16 S
    {0.57, 1.5, 0.11, 0.11},   // 17 Cl
    {0.66, 1.8, 0.13, 0.13},   // 18 Ar
    {0.71, 2.1, 0.18, 0.18},   // 19 K
    {0.77, 2.5, 0.21, 0.21},   // 20 Ca
    {0.83, 3.3, 0.36, 0.23},   // 21 Sc
    {0.89, 3.9, 0.52, 0.25},   // 22 Ti
    {0.96, 4.6, 0.78, 0.28},   // 23 V
    {1.02, 5.2, 0.76, 0.32},   // 24 Cr
    {1.11, 6.2, 0.97, 0.36},   // 25 Mn
    {1.19, 7, 1.14, 0.41},     // 26 Fe
    {1.28, 7.2, 1.13, 0.47},   // 27 Co
    {1.39, 6.4, 0.98, 0.53},   // 28 Ni
    {1.49, 5.5, 1.04, 0.61},   // 29 Cu
    {1.62, 4.8, 1.06, 0.68},   // 30 Zn
    {1.76, 4.1, 0.77, 0.77},   // 31 Ga
    {1.92, 3.8, 0.86, 0.86},   // 32 Ge
    {2.09, 3.8, 0.95, 0.94},   // 33 As
    {2.28, 3.8, 1.05, 1.02},   // 34 Se
    {2.49, 3.8, 1.14, 1.11},   // 35 Br
    {2.71, 3.75, 1.25, 1.19},  // 36 Kr
    {2.96, 3.75, 1.34, 1.27},  // 37 Rb
    {3.23, 3.75, 1.43, 1.35},  // 38 Sr
    {3.51, 3.75, 1.53, 1.43},  // 39 Y
    {3.83, 3.75, 1.63, 1.51},  // 40 Zr
    {4.16, 3.8, 1.73, 1.6},    // 41 Nb
    {4.52, 3.8, 1.83, 1.69},   // 42 Mo
    {4.91, 3.8, 1.93, 1.78},   // 43 Tc
    {5.33, 3.9, 2.03, 1.87},   // 44 Ru
    {5.77, 4, 2.13, 1.96},     // 45 Rh
    {6.25, 3.9, 2.23, 2.05},   // 46 Pd
    {6.76, 3.8, 2.32, 2.15},   // 47 Ag
    {7.32, 3.5, 2.42, 2.24},   // 48 Cd
    {7.9, 3, 2.53, 2.34},      // 49 In
    {8.53, 2.4, 2.64, 2.43},   // 50 Sn
    {9.2, 2.3, 2.74, 2.53},    // 51 Sb
    {9.91, 2.2, 2.84, 2.62},   // 52 Te
    {10.7, 2.1, 2.95, 2.72},   // 53 I
    {11.5, 2, 3.05, 2.82},     // 54 Xe
    {12.3, 2, 3.15, 2.92},     // 55 Cs
    {13.2, 2.1, 3.25, 3.02},   // 56 Ba
    {14.2, 2.2, 3.35, 3.12},   // 57 La
    {15.2, 2.5, 3.41, 3.19},   // 58 Ce
    {16.2, 2.7, 3.48, 3.27},   // 59 Pr
    {17.4, 2.9, 3.55, 3.36},   // 60 Nd
    {18.5, 3.1, 3.63, 3.44},   // 61 Pm
    {19.8, 3.3, 3.7, 3.53},    // 62 Sm
    {21.1, 3.6, 3.77, 3.62},   // 63 Eu
    {22.4, 3.8, 3.87, 3.72},   // 64 Gd
    {23.8, 4, 3.93, 3.8},      // 65 Tb
    {25.3, 4.3, 4.01, 3.9},    // 66 Dy
    {26.9, 4.5, 4.09, 4},      // 67 Ho
    {28.5, 4.7, 4.18, 4.1},    // 68 Er
    {30.2, 4.9, 4.26, 4.2},    // 69 Tm
    {32, 5.2, 4.36, 4.31},     // 70 Yb
    {33.9, 5.4, 4.46, 4.43},   // 71 Lu
    {35.9, 5.7, 4.57, 4.55},   // 72 Hf
    {37.9, 6, 4.69, 4.68},     // 73 Ta
    {40.1, 6.3, 4.82, 4.81},   // 74 W
    {42.2, 6.7, 4.95, 4.95},   // 75 Re
    {44.6, 7.2, 5.09, 5.09},   // 76 Os
    {47, 7.9, 5.23, 5.24},     // 77 Ir
    {49.5, 8.8, 5.38, 5.39},   // 78 Pt
    {52.1, 9.8, 5.53, 5.54},   // 79 Au
    {54.8, 10.5, 5.69, 5.71},  // 80 Hg
    {57.6, 11.1, 5.87, 5.89},  // 81 Tl
    {60.6, 11.8, 5.04, 6.07},  // 82 Pb
    {63.6, 12.3, 6.22, 6.27},  // 83 Bi
    {66.8, 12.7, 6.41, 6.46},  // 84 Po
    {70, 13, 6.6, 6.66},       // 85 At
    {73.4, 13.2, 6.81, 6.87},  // 86 Rn
    {76.9, 13.5, 7.02, 7.08},  // 87 Fr
    {80.6, 13.7, 7.5, 7.29},   // 88 Ra
    {84.4, 14, 8, 7.51},       // 89 Ac
    {88.2, 14.3, 8.5, 7.74},   // 90 Th
    {92.1, 14.7, 9.1, 7.97},   // 91 Pa
    {96.3, 16, 10, 8.2},       // 92 U
};

}  // namespace

std::optional<double> core_width_ev(int z, const std::string& edge) {
    const int column = edge == "K"    ? 0
                       : edge == "L1" ? 1
                       : edge == "L2" ? 2
                       : edge == "L3" ? 3
                                      : -1;
    constexpr int rows = static_cast<int>(sizeof level_width / sizeof level_width[0]);
    if (column < 0 || z < width_first_z || z >= width_first_z + rows) return std::nullopt;
    const double w = level_width[z - width_first_z][column];
    if (w <= 0.0) return std::nullopt;
    return w;
}

}  // namespace korva::psgen
