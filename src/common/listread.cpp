#include "common/listread.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace korva {

bool text_input::next_line(std::string& line) {
    if (!std::getline(*in_, line)) return false;
    ++line_no_;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return true;
}

void text_input::rewind() {
    in_->clear();
    in_->seekg(0);
    line_no_ = 0;
}

namespace {
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}
bool is_sep(char c) {
    return is_blank(c) || c == ',' || c == '/';
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}
}  // namespace

namespace {
// NaN or Inf (any case, Inf also as "infinity") after an optional sign; false for anything else.
bool special_real(std::string_view body, bool neg, double& special) {
    if (iequals(body, "nan")) {
        special = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (iequals(body, "inf") || iequals(body, "infinity")) {
        special = neg ? -std::numeric_limits<double>::infinity()
                      : std::numeric_limits<double>::infinity();
        return true;
    }
    return false;
}

// Appends the digits at body[i..] to s; returns how many.
int take_digits(std::string_view body, std::size_t& i, std::string& s) {
    int n = 0;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') s += body[i++], ++n;
    return n;
}

// Rewrites a real token into the form strtod/strtof take ("D" exponents become "e");
// sets special for NaN and Inf. False if the token is not a number.
bool normalise_real(std::string_view tok, std::string& s, double& special, bool& is_special) {
    is_special = false;
    if (tok.empty() || tok.size() > 400) return false;
    std::string_view body = tok;
    bool neg = false;
    if (body[0] == '+' || body[0] == '-') {
        neg = body[0] == '-';
        body.remove_prefix(1);
    }
    if (special_real(body, neg, special)) return is_special = true;
    // mantissa: digits [. digits], at least one digit; exponent: [eEdD][sign]digits
    s.clear();
    if (neg) s += '-';
    std::size_t i = 0;
    int ndig = take_digits(body, i, s);
    if (i < body.size() && body[i] == '.') {
        s += body[i++];
        ndig += take_digits(body, i, s);
    }
    if (ndig == 0) return false;
    if (i == body.size()) return true;
    const char e = body[i];
    if (e != 'e' && e != 'E' && e != 'd' && e != 'D') return false;
    s += 'e';
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) s += body[i++];
    return take_digits(body, i, s) > 0 && i == body.size();
}
}  // namespace

// strtod/strtof take the normalised forms; they saturate to +-inf or give 0 on underflow.
bool parse_real(std::string_view tok, double& v) {
    std::string s;
    double special;
    bool is_special;
    if (!normalise_real(tok, s, special, is_special)) return false;
    v = is_special ? special : std::strtod(s.c_str(), nullptr);
    return true;
}

bool parse_real(std::string_view tok, float& v) {
    std::string s;
    double special;
    bool is_special;
    if (!normalise_real(tok, s, special, is_special)) return false;
    // Straight to single precision: no double rounding through double.
    v = is_special ? static_cast<float>(special) : std::strtof(s.c_str(), nullptr);
    return true;
}

bool parse_int(std::string_view tok, int& v) {
    if (tok.empty()) return false;
    std::size_t start = (tok[0] == '+') ? 1 : 0;
    // One sign at most: "+-2" is no integer.
    if (start == tok.size() || (start == 1 && tok[1] == '-')) return false;
    auto res = std::from_chars(tok.data() + start, tok.data() + tok.size(), v);
    return res.ec == std::errc() && res.ptr == tok.data() + tok.size();
}

read_status list_read::next_token(std::string_view& tok) {
    tok = {};
    if (ended_) return read_status::ok;
    if (!started_) {
        started_ = true;
        if (!in_.next_line(line_)) return read_status::end;
        pos_ = 0;
        after_comma_ = true;
    }
    for (;;) {
        while (pos_ < line_.size() && is_blank(line_[pos_])) ++pos_;
        if (pos_ >= line_.size()) {
            if (!in_.next_line(line_)) return read_status::end;
            pos_ = 0;
            after_comma_ = true;
            continue;
        }
        char c = line_[pos_];
        if (c == '/') {
            ended_ = true;
            return read_status::ok;
        }
        if (c == ',') {
            ++pos_;
            if (after_comma_) return read_status::ok;  // null value: leave unchanged
            after_comma_ = true;
            continue;
        }
        std::size_t b = pos_;
        while (pos_ < line_.size() && !is_sep(line_[pos_])) ++pos_;
        tok = std::string_view(line_).substr(b, pos_ - b);
        // The value's own separator: blanks then at most one comma.
        while (pos_ < line_.size() && is_blank(line_[pos_])) ++pos_;
        after_comma_ = false;
        if (pos_ < line_.size() && line_[pos_] == ',') {
            ++pos_;
            after_comma_ = true;
        }
        return read_status::ok;
    }
}

read_status list_read::get(double& v) {
    std::string_view tok;
    read_status st = next_token(tok);
    if (st != read_status::ok || tok.empty()) return st;
    double x;
    if (!parse_real(tok, x)) return read_status::bad;
    v = x;
    return read_status::ok;
}

read_status list_read::get(real& v) {
    std::string_view tok;
    read_status st = next_token(tok);
    if (st != read_status::ok || tok.empty()) return st;
    real x;
    if (!parse_real(tok, x)) return read_status::bad;
    v = x;
    return read_status::ok;
}

read_status list_read::get(int& v) {
    std::string_view tok;
    read_status st = next_token(tok);
    if (st != read_status::ok || tok.empty()) return st;
    int x;
    if (!parse_int(tok, x)) return read_status::bad;
    v = x;
    return read_status::ok;
}

read_status read_name(text_input& in, std::string& name) {
    std::string line;
    if (!in.next_line(line)) return read_status::end;
    if (line.size() > 80) line.resize(80);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    name = line;
    return read_status::ok;
}

read_status read_prefix(text_input& in, std::string& prefix) {
    std::string line;
    if (!in.next_line(line)) return read_status::end;
    line.resize(3, ' ');
    prefix = line;
    return read_status::ok;
}

}  // namespace korva
