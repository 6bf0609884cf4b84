#include "measured.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "elements.hpp"
#include "inputs.hpp"

namespace korva::xas {

namespace {

// Plain-column energies that are all at most this are keV: the rule of the program's
// experimental file.
constexpr double largest_kev = 100.0;

struct text_line {
    int number = 0;
    std::string text;
};

// A line's error: "path:line: what", status 2.
[[noreturn]] void bad(const std::string& path, int line, const std::string& what) {
    throw xas_error(exit_unreadable, path + ":" + std::to_string(line) + ": " + what);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

std::vector<std::string> words(const std::string& s) {
    std::istringstream is(s);
    std::vector<std::string> w;
    for (std::string t; is >> t;) w.push_back(t);
    return w;
}

// The file's lines, ended by LF, CR or CR LF (all three are XDI's end-of-line).
std::vector<text_line> read_lines(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw xas_error(exit_unreadable, path + ": cannot read the measurement: is a directory");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw xas_error(exit_unreadable, path + ": cannot open the measurement");
    std::ostringstream all;
    all << in.rdbuf();
    const std::string s = all.str();
    std::vector<text_line> lines;
    std::string cur;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' || s[i] == '\n') {
            lines.push_back({static_cast<int>(lines.size()) + 1, cur});
            cur.clear();
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            cur += s[i];
        }
    }
    if (!cur.empty()) lines.push_back({static_cast<int>(lines.size()) + 1, cur});
    return lines;
}

// A number as XDI writes one (an optional sign, digits, a point, an exponent), finite.
std::optional<double> number(std::string_view w) {
    if (!w.empty() && w[0] == '+') w.remove_prefix(1);
    double v = 0.0;
    const auto r = std::from_chars(w.data(), w.data() + w.size(), v);
    if (r.ec != std::errc() || r.ptr != w.data() + w.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// One data row; `columns` 0 takes the row's count as the file's.
std::vector<double> data_row(const text_line& l, std::size_t& columns, const std::string& path) {
    std::vector<double> row;
    for (const std::string& w : words(l.text)) {
        const std::optional<double> v = number(w);
        if (!v) bad(path, l.number, "'" + w + "' is not a finite number");
        row.push_back(*v);
    }
    if (columns == 0) columns = row.size();
    if (row.size() != columns)
        bad(path, l.number,
            std::to_string(row.size()) + (row.size() == 1 ? " value" : " values") +
                " where the rows before hold " + std::to_string(columns));
    return row;
}

bool is_comment(const std::string& s) {
    const auto p = s.find_first_not_of(" \t");
    return p != std::string::npos && s[p] == '#';
}

bool is_blank(const std::string& s) {
    return s.find_first_not_of(" \t") == std::string::npos;
}

// The text after the comment token.
std::string after_hash(const std::string& s) {
    return trim(s.substr(s.find('#') + 1));
}

// A separator line: "#" then three or more of `c` (XDI's field-end "///", header-end "---").
bool is_separator(const std::string& s, char c) {
    const std::string t = after_hash(s);
    return t.size() >= 3 && t.find_first_not_of(c) == std::string::npos;
}

// Energies strictly rising: a repeated or falling energy is refused at its line.
void check_rising(const measured_spectrum& m) {
    for (std::size_t i = 1; i < m.energy.size(); ++i)
        if (!(m.energy[i] > m.energy[i - 1]))
            bad(m.path, m.lines[i],
                "the energy does not rise (it follows the energy of line " +
                    std::to_string(m.lines[i - 1]) + "); the energies must increase strictly");
}

// ------------------------------------------------------------------------------------------
// XDI 1.0

struct xdi_header {
    std::map<std::string, std::pair<std::string, int>> fields;  // lower-case name -> value, line
    std::map<int, std::pair<std::string, int>> columns;         // N -> lower-case value, line
    std::vector<std::string> labels;                            // the label line, if any
    int label_line = 0;
    int end_line = 0;  // the header-end line
    std::size_t first_data = 0;
};

bool letter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool word_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

// "Namespace.tag: value": the namespace a letter then letters, digits or '_', the tag letters,
// digits, '_' or '-'; false when the text is not of that form.
bool split_field(const std::string& t, std::string& name, std::string& value) {
    const auto colon = t.find(':');
    if (colon == std::string::npos) return false;
    name = trim(t.substr(0, colon));
    value = trim(t.substr(colon + 1));
    const auto dot = name.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return false;
    if (!letter(name[0])) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (i != dot && !(i < dot ? word_char(name[i]) && name[i] != '-' : word_char(name[i])))
            return false;
    return true;
}

void version_line(const std::vector<text_line>& lines, const std::string& path) {
    const std::vector<std::string> w =
        lines.empty() ? std::vector<std::string>{} : words(after_hash(lines[0].text));
    if (lines.empty() || !is_comment(lines[0].text) || w.empty() || !w[0].starts_with("XDI/"))
        bad(path, 1, "not an XDI file: its first line must be the version line '# XDI/1.0'");
    const std::string v = w[0].substr(4);
    const auto dot = v.find('.');
    const bool digits = dot != std::string::npos && dot > 0 && dot + 1 < v.size() &&
                        std::all_of(v.begin(), v.end(), [](char c) {
                            return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '.';
                        });
    if (!digits) bad(path, 1, "'" + w[0] + "' is not an XDI version (XDI/1.0)");
    if (v.substr(0, dot) != "1") bad(path, 1, "XDI version " + v + ": korva-xas reads XDI 1.x");
}

void add_field(const text_line& l, xdi_header& h, const std::string& path) {
    std::string name, value;
    if (!split_field(after_hash(l.text), name, value))
        bad(path, l.number,
            "'" + trim(l.text) + "' is not a header field '# Namespace.tag: value'");
    const std::string key = lower(name);
    if (key.starts_with("column.")) {
        const std::optional<double> n = number(key.substr(7));
        if (!n || *n < 1 || *n != std::floor(*n) || *n > 1e6)
            bad(path, l.number, name + ": a column is numbered from 1 (Column.1, Column.2, ...)");
        h.columns[static_cast<int>(*n)] = {lower(value), l.number};
    }
    h.fields[key] = {value, l.number};
}

// The header: fields up to "# ///", comments up to "# ---", an optional label line.
xdi_header read_header(const std::vector<text_line>& lines, const std::string& path) {
    xdi_header h;
    bool in_fields = true;
    std::size_t i = 1;
    for (; i < lines.size() && h.end_line == 0; ++i) {
        const text_line& l = lines[i];
        if (!is_comment(l.text))
            bad(path, l.number,
                is_blank(l.text) ? "a blank line in the header (before the line '# ---')"
                                 : "data before the header-end line '# ---'");
        if (is_separator(l.text, '-')) {
            h.end_line = l.number;
        } else if (is_separator(l.text, '/')) {
            in_fields = false;
        } else if (in_fields) {
            add_field(l, h, path);
        }
    }
    if (h.end_line == 0)
        bad(path, lines.empty() ? 1 : lines.back().number,
            "the file ends before the header-end line '# ---'");
    if (i < lines.size() && is_comment(lines[i].text)) {
        h.labels = words(after_hash(lines[i].text));
        h.label_line = lines[i].number;
        ++i;
    }
    h.first_data = i;
    return h;
}

void check_element(const xdi_header& h, measured_spectrum& m) {
    static const char* edges[] = {"K",  "L", "L1", "L2", "L3", "M",  "M1", "M2", "M3", "M4",
                                  "M5", "N", "N1", "N2", "N3", "N4", "N5", "N6", "N7"};
    // Files in the wild often leave them out: a file without them is taken as the computed
    // spectrum's element and edge (the comparison then has nothing to check).
    if (!h.fields.count("element.symbol") || !h.fields.count("element.edge")) return;
    const auto& [symbol, sline] = h.fields.at("element.symbol");
    try {
        m.element = psgen::element_symbol(psgen::parse_element(symbol));
    } catch (const std::exception&) {
        bad(m.path, sline, "Element.symbol '" + symbol + "' is not an element symbol");
    }
    const auto& [edge, eline] = h.fields.at("element.edge");
    m.edge = edge;
    for (char& c : m.edge) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (std::find(std::begin(edges), std::end(edges), m.edge) == std::end(edges))
        bad(m.path, eline, "Element.edge '" + edge + "' is not an absorption edge (K, L3, ...)");
}

// Column.1 must be the energy in eV or keV; the columns numbered without gaps, within the rows.
void check_columns(const xdi_header& h, std::size_t ncol, measured_spectrum& m) {
    if (!h.columns.count(1) || words(h.columns.at(1).first).empty() ||
        words(h.columns.at(1).first)[0] != "energy")
        bad(m.path, h.columns.count(1) ? h.columns.at(1).second : h.end_line,
            "no energy column: Column.1 must name the energy ('# Column.1: energy eV')");
    const auto& [value, line] = h.columns.at(1);
    const std::vector<std::string> w = words(value);
    if (w.size() != 2 || (w[1] != "ev" && w[1] != "kev"))
        bad(m.path, line, "Column.1 '" + value + "': the energy must be in eV or keV");
    m.kev = w[1] == "kev";
    int expected = 1;
    for (const auto& [n, v] : h.columns) {
        if (n != expected)
            bad(m.path, v.second,
                "Column." + std::to_string(n) + " follows Column." + std::to_string(expected - 1) +
                    ": the columns must be numbered without gaps");
        if (static_cast<std::size_t>(n) > ncol)
            bad(m.path, v.second,
                "Column." + std::to_string(n) + ": the rows hold " + std::to_string(ncol) +
                    " values");
        ++expected;
    }
    if (h.label_line && h.labels.size() != ncol)
        bad(m.path, h.label_line,
            std::to_string(h.labels.size()) + " column labels for rows of " + std::to_string(ncol) +
                " values");
}

// The 0-based column whose label (the first word of its Column.N value) is `label`, or -1.
int column_named(const xdi_header& h, const std::string& label) {
    for (const auto& [n, v] : h.columns) {
        const std::vector<std::string> w = words(v.first);
        if (!w.empty() && w[0] == label) return n - 1;
    }
    return -1;
}

// How mu comes from the columns: a column as it is, or ln(i0/itrans), or ifluor/i0.
struct absorption_recipe {
    int column = -1;  // mu = that column
    int i0 = -1, itrans = -1, ifluor = -1;
    std::string name;
};

absorption_recipe choose_absorption(const xdi_header& h, const std::string& wanted,
                                    const std::string& path) {
    absorption_recipe a;
    if (!wanted.empty()) {
        const std::optional<double> n = number(wanted);
        a.column = n ? static_cast<int>(*n) - 1 : column_named(h, lower(wanted));
        if (a.column < 1 || a.column >= static_cast<int>(h.columns.size()) ||
            (n && *n != std::floor(*n)))
            bad(path, h.end_line,
                "--exp-column " + wanted + ": no Column field after Column.1 names it");
        a.name = words(h.columns.at(a.column + 1).first)[0];
        return a;
    }
    for (const char* label : {"mutrans", "mufluor", "normtrans", "normfluor"})
        if ((a.column = column_named(h, label)) >= 0) {
            a.name = label;
            return a;
        }
    a.i0 = column_named(h, "i0");
    a.itrans = column_named(h, "itrans");
    a.ifluor = column_named(h, "ifluor");
    if (a.i0 >= 0 && a.itrans >= 0) a.name = "ln(i0/itrans)", a.ifluor = -1;
    if (a.i0 >= 0 && a.ifluor >= 0) a.name = "ifluor/i0";
    if (a.name.empty())
        bad(path, h.end_line,
            "no absorption column: the Column fields name none of mutrans, mufluor, normtrans, "
            "normfluor, i0 with itrans or ifluor (--exp-column chooses one)");
    return a;
}

double absorption(const absorption_recipe& a, const std::vector<double>& row, int line,
                  const std::string& path) {
    if (a.column >= 0) return row[static_cast<std::size_t>(a.column)];
    const double i0 = row[static_cast<std::size_t>(a.i0)];
    const double i = row[static_cast<std::size_t>(a.ifluor >= 0 ? a.ifluor : a.itrans)];
    if (!(i0 > 0.0) || (a.ifluor < 0 && !(i > 0.0)))
        bad(path, line, a.name + ": i0" + (a.ifluor < 0 ? " and itrans" : "") + " must be above 0");
    return a.ifluor >= 0 ? i / i0 : std::log(i0 / i);
}

measured_spectrum read_xdi(const std::vector<text_line>& lines, const std::string& path,
                           const std::string& column) {
    measured_spectrum m;
    m.path = path;
    m.format = "XDI 1.0";
    version_line(lines, path);
    const xdi_header h = read_header(lines, path);
    std::vector<std::vector<double>> rows;
    std::size_t ncol = 0;
    for (std::size_t i = h.first_data; i < lines.size(); ++i) {
        const text_line& l = lines[i];
        if (is_blank(l.text)) continue;
        if (is_comment(l.text)) bad(path, l.number, "a comment line among the data");
        rows.push_back(data_row(l, ncol, path));
        m.lines.push_back(l.number);
    }
    if (rows.empty()) bad(path, h.end_line, "no data after the header");
    check_columns(h, ncol, m);
    check_element(h, m);
    const absorption_recipe a = choose_absorption(h, column, path);
    m.column = a.name;
    m.normalised = a.name.starts_with("norm");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        m.energy.push_back(rows[r][0] * (m.kev ? 1000.0 : 1.0));
        m.mu.push_back(absorption(a, rows[r], m.lines[r], path));
    }
    return m;
}

// ------------------------------------------------------------------------------------------
// Plain columns

measured_spectrum read_plain(const std::vector<text_line>& lines, const std::string& path,
                             const std::string& column) {
    measured_spectrum m;
    m.path = path;
    m.format = "plain columns";
    std::vector<std::vector<double>> rows;
    std::size_t ncol = 0;
    for (const text_line& l : lines) {
        if (is_blank(l.text)) continue;
        if (is_comment(l.text)) {
            std::string name, value;
            if (split_field(after_hash(l.text), name, value) && lower(name).starts_with("column."))
                bad(path, l.number,
                    "an XDI field in a file without the XDI version line '# XDI/1.0' on line 1");
            continue;
        }
        rows.push_back(data_row(l, ncol, path));
        m.lines.push_back(l.number);
    }
    if (rows.empty()) bad(path, lines.empty() ? 1 : lines.back().number, "no data");
    const std::optional<double> n = column.empty() ? 2.0 : number(column);
    if (!n || *n < 2 || *n != std::floor(*n) || *n > static_cast<double>(ncol))
        bad(path, m.lines[0],
            (column.empty() ? std::string("one value a row") : "--exp-column " + column) +
                ": the absorption must be a column from 2 to the rows' " + std::to_string(ncol));
    const auto c = static_cast<std::size_t>(*n) - 1;
    m.column = "column " + std::to_string(c + 1);
    double largest = 0.0;
    for (const auto& row : rows) largest = std::max(largest, std::abs(row[0]));
    m.kev = largest <= largest_kev;
    for (const auto& row : rows) {
        m.energy.push_back(row[0] * (m.kev ? 1000.0 : 1.0));
        m.mu.push_back(row[c]);
    }
    return m;
}

}  // namespace

measured_spectrum read_measured(const std::string& path, const std::string& column) {
    const std::vector<text_line> lines = read_lines(path);
    const bool xdi_name = lower(std::filesystem::path(path).extension().string()) == ".xdi";
    const bool xdi_version =
        !lines.empty() && is_comment(lines[0].text) && after_hash(lines[0].text).starts_with("XDI");
    measured_spectrum m =
        xdi_name || xdi_version ? read_xdi(lines, path, column) : read_plain(lines, path, column);
    check_rising(m);
    return m;
}

}  // namespace korva::xas
