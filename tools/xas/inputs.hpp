// What korva-xas reads from a finished run: the absorption of the run's cross-section plot
// file and the facts the data files' comment lines carry.
#pragma once

#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva::xas {

constexpr int exit_wrong_value = 1;  // a value korva-xas refuses
constexpr int exit_unreadable = 2;   // input it cannot read
constexpr int exit_write = 3;        // output it cannot write

// One line for standard error (without "korva-xas: ") and the exit status.
struct xas_error : std::runtime_error {
    int status;
    xas_error(int st, const std::string& what) : std::runtime_error(what), status(st) {}
};

// The absorption of a run against the photoelectron's energy.
struct computed_spectrum {
    std::vector<double> e_ry;  // Rydberg above the interstitial level, strictly increasing
    std::vector<double> mu;    // Mbarn: the sum of the final-state channels' total cross sections
    int channels = 1;
};

// PREFIX_kor.sig: per channel the total then the atomic cross-section curve (then, perhaps, the
// experiment). Throws xas_error (status 2) for a file that cannot be read or does not hold
// that form, with at least 4 points a curve.
computed_spectrum read_sig(const std::string& path, int lcore);
// The same from the file's text (`path` names it in messages).
computed_spectrum read_sig(std::istream& in, const std::string& path, int lcore);

// The fields of a korva-psgen comment line korva-xas uses; each empty when the line lacks it.
struct data_header {
    std::optional<double> fermi;      // "| E_F <value> Ry"
    std::optional<double> gamma;      // "| gamma <value> Ry": the damping, half the level width
    std::optional<int> z;             // Z of the first type (phase set 1: the absorber)
    std::optional<std::string> edge;  // "edge K" of the model field
    std::string exchange;             // "exchange dirac-hara", "exchange hedin-lundqvist", ...
};

data_header parse_data_header(std::string_view line);

// The first line of a data file; throws xas_error (status 2) when it cannot be opened or read.
data_header read_data_header(const std::string& path);

}  // namespace korva::xas
