#include "sites.hpp"

#include <algorithm>
#include <cctype>

#include "cluster.hpp"

namespace korva::cluster {
namespace {

bool same_nocase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

absorber_site site_of(const structure& s, std::size_t i) {
    const atom_site& a = s.sites[i];
    absorber_site out;
    out.index = static_cast<int>(i);
    out.name = s.format == file_format::cif ? a.label : std::to_string(a.number);
    out.element = a.element;
    if (s.format == file_format::cif)
        out.multiplicity =
            static_cast<int>(std::count_if(s.atoms.begin(), s.atoms.end(), [&](const atom_site& b) {
                return b.file_site == a.file_site;
            }));
    return out;
}

}  // namespace

std::vector<absorber_site> absorber_sites(const structure& s, const std::string& who) {
    const auto first = static_cast<std::size_t>(find_absorber(s, who));
    const atom_site& a = s.sites[first];
    const bool by_label = s.format == file_format::cif && a.label == who;
    if (by_label || !same_nocase(a.element, who)) return {site_of(s, first)};
    std::vector<absorber_site> v;
    for (std::size_t i = first; i < s.sites.size(); ++i)
        if (s.sites[i].element == a.element) v.push_back(site_of(s, i));
    return v;
}

std::string sites_text(const structure& s, const std::vector<absorber_site>& sites) {
    const char* format = s.format == file_format::cif     ? "cif"
                         : s.format == file_format::mmcif ? "mmcif"
                         : s.format == file_format::pdb   ? "pdb"
                                                          : "xyz";
    std::string t = std::string("format ") + format + "\nframes " + std::to_string(s.frames) + "\n";
    for (const absorber_site& a : sites)
        t += "site " + a.name + " " + std::to_string(a.multiplicity) + " " + a.element + "\n";
    return t;
}

}  // namespace korva::cluster
