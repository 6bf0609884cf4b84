#include "inputs.hpp"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "input/data_header.hpp"
#include "plot_read.hpp"

namespace korva::xas {

namespace {

[[noreturn]] void unreadable(const std::string& what) {
    throw xas_error(exit_unreadable, what);
}

std::optional<double> number(std::string_view s) {
    double v = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::vector<std::string> words(std::string_view s) {
    std::istringstream is{std::string(s)};
    std::vector<std::string> w;
    for (std::string t; is >> t;) w.push_back(t);
    return w;
}

// The fields of one "|"-separated piece of the comment line.
void read_field(const std::vector<std::string>& w, data_header& h) {
    if (w.size() == 3 && w[0] == "gamma" && w[2] == "Ry") h.gamma = number(w[1]);
    if (!w.empty() && w[0] == "types" && w.size() > 1 && w[1].starts_with("(Z=")) {
        std::string_view z = w[1];
        z.remove_prefix(3);
        if (const auto v = number(z); v && *v == std::round(*v) && *v >= 1 && *v <= 200)
            h.z = static_cast<int>(*v);
    }
    for (std::size_t i = 0; i + 1 < w.size(); ++i) {
        if (w[i] == "edge" && !h.edge && !number(w[i + 1])) h.edge = w[i + 1];
        if (w[i] == "exchange") h.exchange = w[i + 1];
    }
}

void check_curve(const plot::curve& c, const std::string& path, int n) {
    if (c.points.size() < 4)
        unreadable(path + ": curve " + std::to_string(n) + " holds fewer than 4 points");
    for (std::size_t i = 1; i < c.points.size(); ++i)
        if (!(c.points[i].x > c.points[i - 1].x))
            unreadable(path + ": the energies of curve " + std::to_string(n) +
                       " do not increase (line " + std::to_string(c.first_line + i) + ")");
}

// The names of a polarised run's polarisations: its titles "eK = (x, y, z)", K = 1, 2, ...
std::vector<std::string> polarisation_names(const plot::plot_file& f) {
    std::vector<std::string> names;
    for (const plot::title& t : f.titles) {
        std::string head = std::to_string(names.size() + 1);
        head.insert(head.begin(), 'e');
        head += " = (";
        if (t.text.starts_with(head)) names.push_back(t.text);
    }
    return names;
}

// Which polarisation's curves to take (0-based): the asked one of a polarised run.
std::size_t chosen_polarisation(const std::vector<std::string>& names, const std::string& path,
                                int asked) {
    if (asked > 0 && names.empty())
        throw xas_error(exit_wrong_value, "--polarisation " + std::to_string(asked) + ": " + path +
                                              " is the isotropic spectrum of a run without "
                                              "--polarisation");
    if (asked > static_cast<int>(names.size()))
        throw xas_error(exit_wrong_value, "--polarisation " + std::to_string(asked) + ": " + path +
                                              " holds " + std::to_string(names.size()) +
                                              " polarisation(s)");
    return asked > 0 ? static_cast<std::size_t>(asked - 1) : 0;
}

}  // namespace

computed_spectrum read_sig(const std::string& path, int lcore, int polarisation) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        unreadable(path +
                   ": cannot be opened; korva-xas runs in the folder of a finished korva "
                   "run whose deck asks for the cross-section plot (IF1 > 0)");
    return read_sig(in, path, lcore, polarisation);
}

computed_spectrum read_sig(std::istream& in, const std::string& path, int lcore, int polarisation) {
    std::ostringstream warnings;  // commands a drawing needs and korva-xas does not
    plot::plot_file f;
    try {
        f = plot::read_plot(in, path, warnings);
    } catch (const plot::plot_error& e) {
        unreadable(path + ":" + std::to_string(e.line) + ": " + e.what);
    }
    computed_spectrum s;
    s.channels = lcore > 0 ? 2 : 1;
    const std::vector<std::string> names = polarisation_names(f);
    const std::size_t k = chosen_polarisation(names, path, polarisation);
    const std::size_t wanted = names.empty() ? 2 * s.channels : 2 * names.size();
    if (f.curves.size() < wanted)
        unreadable(path + ": it holds " + std::to_string(f.curves.size()) + " curves; a run " +
                   (names.empty() ? "with lcore " + std::to_string(lcore)
                                  : "of " + std::to_string(names.size()) + " polarisations") +
                   " writes " + std::to_string(wanted) + " (total and atomic per channel" +
                   (names.empty() ? ")" : " or polarisation)"));
    if (!names.empty()) {
        s.polarisation = names[k];
        f.curves.erase(f.curves.begin(), f.curves.begin() + static_cast<std::ptrdiff_t>(2 * k));
    }
    const plot::curve& first = f.curves[0];
    for (int c = 0; c < s.channels; ++c) check_curve(f.curves[2 * c], path, 2 * c + 1);
    for (const plot::point& p : first.points) {
        s.e_ry.push_back(p.x);
        s.mu.push_back(p.y);
    }
    if (s.channels == 2) {
        const plot::curve& second = f.curves[2];
        if (second.points.size() != first.points.size())
            unreadable(path + ": the channels' total curves (1 and 3) differ in length");
        for (std::size_t i = 0; i < second.points.size(); ++i) {
            if (second.points[i].x != first.points[i].x)
                unreadable(path + ": the channels' total curves (1 and 3) differ in energy");
            s.mu[i] += second.points[i].y;
        }
    }
    return s;
}

data_header parse_data_header(std::string_view line) {
    data_header h;
    h.fermi = header_fermi_level(line);
    while (true) {
        const auto bar = line.find('|');
        read_field(words(line.substr(0, bar)), h);
        if (bar == std::string_view::npos) break;
        line.remove_prefix(bar + 1);
    }
    return h;
}

data_header read_data_header(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line))
        unreadable(path + ": cannot be opened or is empty (a data file the deck names)");
    return parse_data_header(line);
}

}  // namespace korva::xas
