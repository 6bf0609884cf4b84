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

// Skips an optional sign at t[i].
void skip_sign(std::string_view t, std::size_t& i) {
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
}

// Skips the digits at t[i]; how many there were.
std::size_t skip_digits(std::string_view t, std::size_t& i) {
    std::size_t n = 0;
    while (i < t.size() && is_digit(t[i])) ++i, ++n;
    return n;
}

bool exponent_mark(char c) {
    return c == 'e' || c == 'E' || c == 'd' || c == 'D';
}

// Checks the grammar [sign] digits [. digits] [(e|E|d|D) [sign] digits] with at least one
// mantissa digit, so from_chars never sees "nan", "inf" or hexadecimal forms.
bool well_formed(std::string_view t) {
    std::size_t i = 0;
    skip_sign(t, i);
    std::size_t digits = skip_digits(t, i);
    if (i < t.size() && t[i] == '.') {
        ++i;
        digits += skip_digits(t, i);
    }
    if (digits == 0) return false;
    if (i < t.size() && exponent_mark(t[i])) {
        ++i;
        skip_sign(t, i);
        if (skip_digits(t, i) == 0) return false;
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
