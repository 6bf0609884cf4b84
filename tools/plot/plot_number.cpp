#include "plot_number.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

namespace korva::plot {

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Checks the grammar [sign] digits [. digits] [(e|E|d|D) [sign] digits] with at least one
// mantissa digit, so from_chars never sees "nan", "inf" or hexadecimal forms.
bool well_formed(std::string_view t) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < t.size() && is_digit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && is_digit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t exp_digits = 0;
        while (i < t.size() && is_digit(t[i])) ++i, ++exp_digits;
        if (exp_digits == 0) return false;
    }
    return i == t.size();
}

}  // namespace

bool parse_real(std::string_view token, double& value) {
    if (token.empty() || token.size() > 400 || !well_formed(token)) return false;
    std::string text(token.front() == '+' ? token.substr(1) : token);
    for (char& c : text)
        if (c == 'd' || c == 'D') c = 'e';
    double v = 0.0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

std::string shortest(double value) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc{}) return "0";
    return std::string(buf, end);
}

}  // namespace korva::plot
