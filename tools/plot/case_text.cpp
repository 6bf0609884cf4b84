#include "case_text.hpp"

namespace korva::plot {

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

std::string apply_case(std::string_view text, std::string_view controls) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char control = i < controls.size() ? controls[i] : ' ';
        if (control == 'G') {
            std::string g = greek(text[i]);
            if (!g.empty()) {
                out += g;
                continue;
            }
        }
        out += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    return out;
}

}  // namespace korva::plot
