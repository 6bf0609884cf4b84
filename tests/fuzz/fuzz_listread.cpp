// Free-format reader: records of mixed integers, reals and doubles, names and prefixes, and the
// token parsers on every blank-separated word. The first byte picks the sequence of reads.
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "common/listread.hpp"
#include "fuzz_common.hpp"

using namespace korva;

namespace {

void check_tokens(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == ',')) ++i;
        std::size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != '\n' && text[j] != ',') ++j;
        const std::string_view tok(text.data() + i, j - i);
        double d = 0;
        float f = 0;
        int n = 0;
        const bool okd = parse_real(tok, d), okf = parse_real(tok, f), oki = parse_int(tok, n);
        if (okd != okf) korva_fuzz::fail("parse_real: float and double disagree on a token");
        // An integer is also a real, with the same value.
        if (oki && (!okd || d != static_cast<double>(n)))
            korva_fuzz::fail("parse_int accepted a token parse_real reads differently");
        if (okd && std::isnan(d) != std::isnan(f))
            korva_fuzz::fail("parse_real: NaN in one precision only");
        i = j + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned sel = data[0];
    const std::string text = korva_fuzz::as_text(data + 1, size - 1);
    check_tokens(text.substr(0, 4096));

    std::istringstream s(text);
    text_input in(s);
    long last_line = 0;
    for (int rec = 0;; ++rec) {
        read_status st = read_status::ok;
        int i1 = 0, i2 = 0;
        real r1 = 0, r2 = 0;
        double d1 = 0;
        std::string name;
        switch ((sel + static_cast<unsigned>(rec)) % 7) {
            case 0:
                st = read_values(in, i1, r1, d1);
                break;
            case 1: {
                list_read r(in);
                real v[7];
                for (real& x : v)
                    if ((st = r.get(x)) != read_status::ok) break;
                break;
            }
            case 2:
                st = read_name(in, name);
                if (st == read_status::ok && name.size() > 80)
                    korva_fuzz::fail("read_name: name longer than 80");
                break;
            case 3:
                st = read_prefix(in, name);
                if (st == read_status::ok && name.size() != 3)
                    korva_fuzz::fail("read_prefix: prefix not 3 characters");
                break;
            case 4:
                st = read_values(in, i1, i2);
                break;
            case 5:
                st = read_values(in, d1, r1, i1, r2);
                break;
            default:
                st = read_values(in, r1);
                break;
        }
        if (in.line_number() < last_line) korva_fuzz::fail("line count went back");
        last_line = in.line_number();
        if (st == read_status::end) break;
        // Every record takes at least one line, so the loop ends with the input.
        if (in.line_number() <= rec) korva_fuzz::fail("a record took no line");
        if ((sel & 0x80) && rec == 3) {
            in.rewind();
            if (in.line_number() != 0) korva_fuzz::fail("rewind kept the line count");
            last_line = 0;
            break;
        }
    }
    return 0;
}
