#include "cluster.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <sstream>

namespace korva::cluster {
namespace {

// Images a search may examine; beyond it the cell is absurdly small for the radius.
constexpr double max_images = 2e7;
// The first search radius, Angstrom; it doubles until more atoms than wanted lie within it.
constexpr double first_search = 6.0;

struct candidate {
    vec3 r{};  // relative to the absorber
    double d = 0;
    const atom_site* atom = nullptr;
};

vec3 minus(const vec3& a, const vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double dot(const vec3& a, const vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
double norm(const vec3& a) {
    return std::sqrt(dot(a, a));
}
vec3 cross(const vec3& a, const vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

bool same_nocase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string name_of(const atom_site& a) {
    if (!a.label.empty() && a.number == 0) return a.label;
    if (a.number > 0) return a.element + " (atom " + std::to_string(a.number) + ")";
    return a.element;
}

std::string fixed(double v, int decimals) {
    std::ostringstream os;
    os.setf(std::ios::fixed);
    os.precision(decimals);
    os << v;
    return os.str();
}

// Lattice translations n (n0 a + n1 b + n2 c) that can bring an atom of the cell within `limit`
// of `centre`: the cell's atoms have fractional coordinates in [0, 1), and a sphere of radius
// `limit` spans limit |a*| along a, with a* the reciprocal vector.
std::array<std::array<long, 2>, 3> translation_ranges(const structure& s, const vec3& centre,
                                                      double limit) {
    const auto& L = s.lattice;
    const double volume = dot(L[0], cross(L[1], L[2]));
    const std::array<vec3, 3> recip = {cross(L[1], L[2]), cross(L[2], L[0]), cross(L[0], L[1])};
    std::array<std::array<long, 2>, 3> n{};
    for (int k = 0; k < 3; ++k) {
        const double f = dot(recip[k], centre) / volume;
        const double half = limit * norm(recip[k]) / std::abs(volume);
        n[k] = {static_cast<long>(std::floor(f - half)) - 1,
                static_cast<long>(std::ceil(f + half))};
    }
    return n;
}

std::vector<candidate> periodic_within(const structure& s, const vec3& centre, double limit) {
    const auto n = translation_ranges(s, centre, limit);
    double images = static_cast<double>(s.atoms.size());
    for (const auto& range : n) images *= static_cast<double>(range[1] - range[0] + 1);
    if (!(images <= max_images))
        throw cluster_error(exit_wrong_value, s.path + ": a search to " + fixed(limit, 3) +
                                                  " A would examine " + fixed(images, 0) +
                                                  " atoms; the unit cell is too small for it");
    std::vector<candidate> out;
    const auto& L = s.lattice;
    for (long i = n[0][0]; i <= n[0][1]; ++i)
        for (long j = n[1][0]; j <= n[1][1]; ++j)
            for (long k = n[2][0]; k <= n[2][1]; ++k)
                for (const atom_site& a : s.atoms) {
                    vec3 r = minus(a.r, centre);
                    for (int c = 0; c < 3; ++c) r[c] += i * L[0][c] + j * L[1][c] + k * L[2][c];
                    const double d = norm(r);
                    if (d <= limit) out.push_back({r, d, &a});
                }
    return out;
}

// Every atom within `limit` of `centre`, the atom at the centre itself included.
std::vector<candidate> within(const structure& s, const vec3& centre, double limit) {
    if (s.periodic) return periodic_within(s, centre, limit);
    std::vector<candidate> out;
    for (const atom_site& a : s.atoms) {
        const vec3 r = minus(a.r, centre);
        const double d = norm(r);
        if (d <= limit) out.push_back({r, d, &a});
    }
    return out;
}

// All atoms a cluster of at most max_atoms within `radius` can need, nearest first: the search
// grows until more than max_atoms atoms lie within it (then the cut is known) or reaches
// `radius`. Members of a shell lie within shell_tolerance of its nearest one, so the search
// looks that much further.
std::vector<candidate> neighbours(const structure& s, const vec3& centre, double radius,
                                  int max_atoms) {
    double r = std::min(radius, first_search);
    for (;;) {
        std::vector<candidate> c = within(s, centre, r + shell_tolerance);
        const auto inside = std::count_if(c.begin(), c.end(), [&](auto& x) { return x.d <= r; });
        if (inside > max_atoms || r >= radius) {
            std::stable_sort(c.begin(), c.end(), [](auto& a, auto& b) { return a.d < b.d; });
            return c;
        }
        r = std::min(2 * r, radius);
    }
}

// Takes the absorber itself (its own image at the centre) out of the list.
void remove_absorber(std::vector<candidate>& c, int absorber) {
    const auto it = std::find_if(c.begin(), c.end(), [&](const candidate& x) {
        return x.atom->file_site == absorber && x.d < 1e-6;
    });
    if (it != c.end()) c.erase(it);
}

// Position to 1e-6 Angstrom, so that rounding does not decide the order of equal coordinates.
std::array<long long, 3> rounded(const vec3& r) {
    return {std::llround(r[0] * 1e6), std::llround(r[1] * 1e6), std::llround(r[2] * 1e6)};
}

// Shells: [begin, end) ranges of the sorted list whose members lie within shell_tolerance of
// the shell's nearest member. Inside a shell atoms go by listed site, then by decreasing x, y, z
// (+x first, as one writes a cluster by hand).
std::vector<std::pair<std::size_t, std::size_t>> shells_of(std::vector<candidate>& c) {
    std::vector<std::pair<std::size_t, std::size_t>> shells;
    for (std::size_t b = 0; b < c.size();) {
        std::size_t e = b + 1;
        while (e < c.size() && c[e].d - c[b].d <= shell_tolerance) ++e;
        std::sort(c.begin() + b, c.begin() + e, [](const candidate& x, const candidate& y) {
            if (x.atom->file_site != y.atom->file_site)
                return x.atom->file_site < y.atom->file_site;
            return rounded(x.r) > rounded(y.r);
        });
        shells.push_back({b, e});
        b = e;
    }
    return shells;
}

int phase_set_of(const atom_site& a, cluster& cl) {
    for (std::size_t k = 1; k < cl.sets.size(); ++k)
        if (cl.sets[k].element == a.element) return static_cast<int>(k) + 1;
    cl.sets.push_back({a.element, a.z, 0});
    return static_cast<int>(cl.sets.size());
}

// Adds one shell: its atoms with their phase sets, and its rows of the shell table.
void add_shell(const std::vector<candidate>& c, std::pair<std::size_t, std::size_t> sh,
               cluster& cl) {
    const std::size_t first_row = cl.table.size();
    for (std::size_t i = sh.first; i < sh.second; ++i) {
        const int iph = phase_set_of(*c[i].atom, cl);
        cl.atoms.push_back({c[i].r, c[i].d, iph, c[i].atom});
        auto row = std::find_if(cl.table.begin() + first_row, cl.table.end(),
                                [&](const shell_row& x) { return x.iph == iph; });
        if (row == cl.table.end())
            cl.table.push_back({c[sh.first].d, c[i].atom->element, 1, iph});
        else
            ++row->count;
    }
}

// Two atoms closer than min_separation: a duplicated site or unresolved disorder.
void check_separations(const cluster& cl, const std::string& path) {
    for (std::size_t i = 0; i < cl.atoms.size(); ++i)
        for (std::size_t j = i + 1; j < cl.atoms.size(); ++j) {
            const double d = norm(minus(cl.atoms[i].r, cl.atoms[j].r));
            if (d < min_separation)
                throw cluster_error(
                    exit_wrong_value,
                    path + ": " + name_of(*cl.atoms[i].site) + " at " + fixed(cl.atoms[i].d, 3) +
                        " A and " + name_of(*cl.atoms[j].site) + " at " + fixed(cl.atoms[j].d, 3) +
                        " A from the absorber are " + fixed(d, 3) + " A apart (closer than " +
                        fixed(min_separation, 1) + " A): a duplicated site or unresolved disorder");
        }
}

void set_nearest(cluster& cl) {
    for (std::size_t i = 0; i < cl.atoms.size(); ++i)
        for (std::size_t j = 0; j < cl.atoms.size(); ++j) {
            if (i == j) continue;
            const double d = norm(minus(cl.atoms[i].r, cl.atoms[j].r));
            double& nearest = cl.sets[cl.atoms[i].iph - 1].nearest;
            if (nearest == 0 || d < nearest) nearest = d;
        }
}

}  // namespace

int find_absorber(const structure& s, const std::string& who) {
    if (s.format == file_format::cif)
        for (std::size_t i = 0; i < s.sites.size(); ++i)
            if (s.sites[i].label == who) return static_cast<int>(i);
    for (std::size_t i = 0; i < s.sites.size(); ++i)
        if (same_nocase(s.sites[i].element, who)) return static_cast<int>(i);
    int number = 0;
    const auto r = std::from_chars(who.data(), who.data() + who.size(), number);
    if (s.format != file_format::cif && r.ec == std::errc() && r.ptr == who.data() + who.size())
        for (std::size_t i = 0; i < s.sites.size(); ++i)
            if (s.sites[i].number == number) return static_cast<int>(i);
    const char* kinds =
        s.format == file_format::cif ? "site label or element" : "element or atom number";
    throw cluster_error(exit_wrong_value,
                        "--absorber " + who + ": no " + kinds + " of that name in " + s.path);
}

cluster cut_cluster(const structure& s, int absorber, double radius, int max_atoms, int max_sets) {
    const atom_site& centre = s.sites.at(static_cast<std::size_t>(absorber));
    std::vector<candidate> c = neighbours(s, centre.r, radius, max_atoms);
    remove_absorber(c, absorber);
    cluster cl;
    cl.sets.push_back({centre.element, centre.z, 0});
    cl.atoms.push_back({{0, 0, 0}, 0, 1, &centre});
    cl.table.push_back({0, centre.element, 1, 1});
    for (const auto& sh : shells_of(c)) {
        if (c[sh.first].d > radius) break;
        const int size = static_cast<int>(sh.second - sh.first);
        if (static_cast<int>(cl.atoms.size()) + size > max_atoms) {
            cl.cut = left_out_shell{c[sh.first].d, size};
            break;
        }
        add_shell(c, sh, cl);
    }
    if (cl.atoms.size() < 2) {
        const std::string why =
            cl.cut ? "the first shell (" + std::to_string(cl.cut->count) + " atoms at " +
                         fixed(cl.cut->d, 3) + " A) does not fit within --max-atoms " +
                         std::to_string(max_atoms)
                   : "no atom lies within --radius " + fixed(radius, 3) + " A of the absorber";
        throw cluster_error(exit_wrong_value, s.path + ": " + why);
    }
    check_separations(cl, s.path);
    if (static_cast<int>(cl.sets.size()) > max_sets)
        throw cluster_error(exit_wrong_value,
                            s.path + ": the cluster needs " + std::to_string(cl.sets.size()) +
                                " phase sets (the absorber and one per element), more than the "
                                "program's " +
                                std::to_string(max_sets) + "; choose a smaller radius");
    set_nearest(cl);
    return cl;
}

}  // namespace korva::cluster
