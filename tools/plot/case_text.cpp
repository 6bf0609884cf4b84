#include "case_text.hpp"

#include <utility>

namespace korva::plot {

namespace {

// One drawn character (a UTF-8 sequence, possibly with a combining mark) at its height.
struct glyph {
    std::string utf8;
    text_shift shift = text_shift::none;
};

std::string as_written(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return std::string(1, (u >= 0x20 && u < 0x7f) ? c : '?');
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The base with the ring above: the precomposed letter where Unicode has one.
std::string with_ring(const std::string& base) {
    static constexpr std::pair<const char*, const char*> precomposed[] = {
        {"A", "\u00c5"}, {"a", "\u00e5"}, {"U", "\u016e"},
        {"u", "\u016f"}, {"w", "\u1e98"}, {"y", "\u1e99"}};
    for (auto [b, r] : precomposed)
        if (base == b) return r;
    return base + "\u030a";  // combining ring above
}

// The Unicode superscript or subscript form of one character, empty when there is none.
std::string script_form(const std::string& c, text_shift shift) {
    static constexpr const char* plain = "0123456789+-=()ni";
    static constexpr const char* up[] = {"\u2070", "\u00b9", "\u00b2", "\u00b3", "\u2074", "\u2075",
                                         "\u2076", "\u2077", "\u2078", "\u2079", "\u207a", "\u207b",
                                         "\u207c", "\u207d", "\u207e", "\u207f", "\u2071"};
    static constexpr const char* down[] = {"\u2080", "\u2081", "\u2082", "\u2083", "\u2084",
                                           "\u2085", "\u2086", "\u2087", "\u2088", "\u2089",
                                           "\u208a", "\u208b", "\u208c", "\u208d", "\u208e"};
    if (c.size() != 1) return {};
    std::string_view p(plain);
    std::size_t k = p.find(c[0]);
    if (k == std::string_view::npos) return {};
    if (shift == text_shift::up) return up[k];
    return k < std::size(down) ? down[k] : std::string();
}

// Follows the controls column by column; see case_text.hpp for the rules.
class case_reader {
  public:
    void column(std::size_t i, char c, char control) {
        bool done = false;
        switch (control) {
            case ' ':
                put(as_written(c));
                done = true;
                break;
            case 'G': {
                std::string g = greek(c);
                done = !g.empty();
                if (done) put(std::move(g));
                break;
            }
            case 'C':
                done = is_digit(c) && code(c - '0');
                break;
            case 'U':
                if (is_digit(c)) {
                    if (!placing_) put(" ");
                    done = true;
                }
                break;
            case 'V':
                done = is_digit(c) && placing_;
                break;
            case 'S':
                done = c == 'O' && ring();
                break;
            default:
                break;
        }
        if (!done) {
            put(as_written(c));
            out_.not_applied.push_back(i);
        }
    }

    case_text finish() {
        for (std::size_t i = 0; i < glyphs_.size();) {
            std::size_t j = i;
            while (j < glyphs_.size() && glyphs_[j].shift == glyphs_[i].shift) ++j;
            add_run(i, j);
            i = j;
        }
        return std::move(out_);
    }

  private:
    // The character codes under C; false for a code without a meaning here.
    bool code(int n) {
        placing_ = false;
        switch (n) {
            case 0:
                shift_ = text_shift::up;
                return true;
            case 1:
                shift_ = text_shift::none;
                return true;
            case 2:
                shift_ = text_shift::down;
                return true;
            case 4:
                mark_ = glyphs_.size();
                return true;
            case 5:
                if (mark_ >= glyphs_.size()) return false;  // nothing marked to draw over
                target_ = mark_ + (glyphs_.size() - 1 - mark_) / 2;
                mark_ = npos;
                placing_ = true;
                return true;
            default:
                return false;
        }
    }

    bool ring() {
        if (placing_) {
            glyphs_[target_].utf8 = with_ring(glyphs_[target_].utf8);
        } else {
            put("\u00b0");
        }
        return true;
    }

    void put(std::string utf8) {
        placing_ = false;
        glyphs_.push_back({std::move(utf8), shift_});
    }

    // Glyphs [i, j) share one shift; a run that has script characters for all of them goes on
    // the line.
    void add_run(std::size_t i, std::size_t j) {
        text_shift shift = glyphs_[i].shift;
        std::string plain, scripted;
        bool all_scripted = shift != text_shift::none;
        for (std::size_t k = i; k < j; ++k) {
            plain += glyphs_[k].utf8;
            std::string s = all_scripted ? script_form(glyphs_[k].utf8, shift) : std::string();
            all_scripted = !s.empty();
            scripted += s;
        }
        if (all_scripted) {
            plain = std::move(scripted);
            shift = text_shift::none;
        }
        if (!out_.spans.empty() && out_.spans.back().shift == shift) {
            out_.spans.back().utf8 += plain;
        } else {
            out_.spans.push_back({std::move(plain), shift});
        }
    }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::vector<glyph> glyphs_;
    case_text out_;
    text_shift shift_ = text_shift::none;
    std::size_t mark_ = npos;  // first glyph under a C 4, npos when none is open
    std::size_t target_ = 0;   // glyph that the symbols after C 5 are drawn over
    bool placing_ = false;     // after C 5, until the next glyph on the line or the next C code
};

}  // namespace

std::string greek(char letter) {
    // a..z in the keyboard correspondence: a alpha, b beta, c chi, d delta, e epsilon, f phi,
    // g gamma, h eta, i iota, j phi (open form), k kappa, l lambda, m mu, n nu, o omicron, p pi,
    // q theta, r rho, s sigma, t tau, u upsilon, v pi (variant), w omega, x xi, y psi, z zeta.
    static constexpr const char* letters[26] = {
        "\u03b1", "\u03b2", "\u03c7", "\u03b4", "\u03b5", "\u03c6", "\u03b3", "\u03b7", "\u03b9",
        "\u03d5", "\u03ba", "\u03bb", "\u03bc", "\u03bd", "\u03bf", "\u03c0", "\u03b8", "\u03c1",
        "\u03c3", "\u03c4", "\u03c5", "\u03d6", "\u03c9", "\u03be", "\u03c8", "\u03b6"};
    if (letter >= 'A' && letter <= 'Z') return letters[letter - 'A'];
    if (letter >= 'a' && letter <= 'z') return letters[letter - 'a'];
    return {};
}

case_text render_case(std::string_view text, std::string_view controls) {
    case_reader r;
    for (std::size_t i = 0; i < text.size(); ++i)
        r.column(i, text[i], i < controls.size() ? controls[i] : ' ');
    return r.finish();
}

std::string apply_case(std::string_view text, std::string_view controls) {
    std::string out;
    for (const text_span& s : render_case(text, controls).spans) out += s.utf8;
    return out;
}

}  // namespace korva::plot
