#include "input/data_header.hpp"

#include <charconv>
#include <cmath>

namespace korva {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// The value of one field "E_F <value> Ry", if it is one.
std::optional<double> field_value(std::string_view f) {
    constexpr std::string_view head = "E_F ", tail = " Ry";
    f = trimmed(f);
    if (f.size() <= head.size() + tail.size() || !f.starts_with(head) || !f.ends_with(tail))
        return std::nullopt;
    const std::string_view v = trimmed(f.substr(head.size(), f.size() - head.size() - tail.size()));
    double x = 0.0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), x);
    if (r.ec != std::errc() || r.ptr != v.data() + v.size() || !std::isfinite(x))
        return std::nullopt;
    return x;
}

}  // namespace

std::string fermi_level_field(double ef_ry) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, ef_ry);
    return "E_F " + std::string(buf, r.ptr) + " Ry";
}

std::optional<double> header_fermi_level(std::string_view line) {
    while (!line.empty()) {
        const auto bar = line.find('|');
        if (const auto v = field_value(line.substr(0, bar))) return v;
        if (bar == std::string_view::npos) break;
        line.remove_prefix(bar + 1);
    }
    return std::nullopt;
}

}  // namespace korva
