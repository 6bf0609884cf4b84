// Helpers shared by the fuzz targets.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

namespace korva_fuzz {

// An output stream that drops everything: the targets look only at what escapes.
class null_buffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

inline std::ostream& null_out() {
    static null_buffer buf;
    static std::ostream out(&buf);
    out.clear();
    return out;
}

inline std::string as_text(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A broken invariant of a routine that returned normally: reported like a crash.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

}  // namespace korva_fuzz
