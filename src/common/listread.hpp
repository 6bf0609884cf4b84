// Free-format (list-directed) reading of numbers and names from a text stream.
#pragma once
#include <istream>
#include <string>
#include <string_view>

#include "common/types.hpp"

namespace korva {

enum class read_status { ok, end, bad };

// A text stream read line by line; counts lines for messages.
class text_input {
  public:
    explicit text_input(std::istream& in) : in_(&in) {}
    // Next line without its end-of-line characters; false at the end of the stream.
    bool next_line(std::string& line);
    // Back to the start of the stream (files only).
    void rewind();
    long line_number() const { return line_no_; }

  private:
    std::istream* in_;
    long line_no_ = 0;
};

// One list-directed read. It starts on a new line and takes values separated by blanks or
// commas over as many lines as needed; a slash ends it and leaves the remaining values
// unchanged, as does an empty field between two commas. The rest of the last line is skipped.
class list_read {
  public:
    explicit list_read(text_input& in) : in_(in) {}
    read_status get(int& v);
    read_status get(real& v);
    read_status get(double& v);
    // Reads into each argument in turn; stops at the first that is not ok.
    template <class... T>
    read_status values(T&... v) {
        read_status st = read_status::ok;
        ((st == read_status::ok ? (st = get(v), 0) : 0), ...);
        return st;
    }

  private:
    // The next value's text; empty view for a null value (or after a slash).
    read_status next_token(std::string_view& tok);
    text_input& in_;
    std::string line_;
    std::size_t pos_ = 0;
    bool started_ = false;
    bool ended_ = false;  // a slash was met
    bool after_comma_ = true;
};

// Reads one list-directed record into the arguments (convenience for list_read).
template <class... T>
read_status read_values(text_input& in, T&... v) {
    list_read r(in);
    return r.values(v...);
}

// Parses one real in the forms older data files use: 1.5, -.25, 1e-3, 1.0D-01, 1.0d+2, 12,
// NaN, Inf. False if the token is not a number.
bool parse_real(std::string_view tok, double& v);
bool parse_real(std::string_view tok, float& v);
// Parses an integer; rejects "2.5" and anything but an optional sign and digits.
bool parse_int(std::string_view tok, int& v);

// The next line as a file name: its first 80 characters, trailing blanks dropped.
read_status read_name(text_input& in, std::string& name);
// The next line as a 3-character prefix, padded with blanks.
read_status read_prefix(text_input& in, std::string& prefix);

}  // namespace korva
