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

std::optional<double> core_width_ev(int z, const std::string& edge) {
    // K-level widths, eV, Ca to Zn.
    constexpr double k_width[] = {0.81, 0.86, 0.94, 1.01, 1.08, 1.16, 1.25, 1.33, 1.44, 1.55, 1.67};
    if (edge == "K" && z >= 20 && z <= 30) return k_width[z - 20];
    return std::nullopt;
}

}  // namespace korva::psgen
