#include "support/number_compare.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace korva::test {

namespace {

struct piece {
    bool number;
    std::string text;
    double value = 0;
    int line = 1;
};

bool digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Whether a number starts at s[i]: a digit, or a sign or point with a digit (after a point).
bool number_starts(const std::string& s, std::size_t i) {
    const auto at = [&](std::size_t k) { return k < s.size() ? s[k] : '\0'; };
    if (digit(at(i))) return true;
    if (at(i) == '.') return digit(at(i + 1));
    if (at(i) == '-' || at(i) == '+')
        return digit(at(i + 1)) || (at(i + 1) == '.' && digit(at(i + 2)));
    return false;
}

std::vector<piece> pieces(const std::string& s) {
    std::vector<piece> out;
    int line = 1;
    std::size_t i = 0;
    while (i < s.size()) {
        if (number_starts(s, i)) {
            char* end = nullptr;
            const double v = std::strtod(s.c_str() + i, &end);
            const std::size_t len = static_cast<std::size_t>(end - (s.c_str() + i));
            out.push_back({true, s.substr(i, len), v, line});
            i += len;
        } else {
            if (out.empty() || out.back().number) out.push_back({false, "", 0, line});
            out.back().text += s[i];
            line += s[i] == '\n';
            ++i;
        }
    }
    return out;
}

// The value of one unit of the last digit of a number as printed.
double last_digit(const std::string& t) {
    const std::size_t e = t.find_first_of("eE");
    const std::string mantissa = t.substr(0, e);
    const std::size_t point = mantissa.find('.');
    const int decimals =
        point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
    const int exponent = e == std::string::npos ? 0 : std::atoi(t.c_str() + e + 1);
    return std::pow(10.0, exponent - decimals);
}

// A run of blanks counts as one: a fixed-width field gives its sign a blank of its own.
std::string squeezed(const std::string& t) {
    std::string out;
    for (char c : t)
        if (c != ' ' || out.empty() || out.back() != ' ') out += c;
    return out;
}

std::string where(const piece& a, const piece& b) {
    return "line " + std::to_string(a.line) + ": " + a.text + " -> " + b.text;
}

}  // namespace

number_changes compare_numbers(const std::string& a, const std::string& b) {
    const std::vector<piece> pa = pieces(a), pb = pieces(b);
    number_changes c;
    for (std::size_t k = 0; k < std::min(pa.size(), pb.size()); ++k) {
        const piece &x = pa[k], &y = pb[k];
        if (x.number != y.number || (!x.number && squeezed(x.text) != squeezed(y.text))) {
            c.same_text = false;
            c.text_at =
                "line " + std::to_string(x.line) + ": \"" + x.text + "\" / \"" + y.text + "\"";
            return c;
        }
        if (!x.number) continue;
        ++c.numbers;
        if (x.value == y.value) continue;
        ++c.moved;
        const double d = std::fabs(x.value - y.value);
        const double rel = d / std::max(std::fabs(x.value), std::fabs(y.value));
        const double units = d / last_digit(x.text);
        if (rel > c.relative) {
            c.relative = rel;
            c.relative_at = where(x, y);
        }
        if (units > c.last_digits) {
            c.last_digits = units;
            c.last_digits_at = where(x, y);
        }
    }
    if (pa.size() != pb.size()) {
        c.same_text = false;
        c.text_at = "the outputs hold " + std::to_string(pa.size()) + " and " +
                    std::to_string(pb.size()) + " pieces";
    }
    return c;
}

std::string describe(const number_changes& c) {
    std::ostringstream s;
    if (!c.same_text) {
        s << "the text differs at " << c.text_at;
        return s.str();
    }
    s << "numbers " << c.numbers << ", moved " << c.moved;
    if (c.moved > 0)
        s << ", largest relative move " << c.relative << " (" << c.relative_at
          << "), largest move in units of the last printed digit " << c.last_digits << " ("
          << c.last_digits_at << ")";
    return s.str();
}

}  // namespace korva::test
