#include "input/deck.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/capacities.hpp"
#include "common/errors.hpp"
#include "common/listread.hpp"

namespace korva {

namespace {

const char* const read_11 = "prompt 11 (DAI KMIN K MAX, DK SPETTRO INTERPOLATO)";
const char* const read_12 = "prompt 12 (DISTANZA E0 TEORICO DA SOGLIA SPERIMENTALE)";

// The reads of one deck in prompt order; the first read that fails leaves its fault and ends
// the reading.
class deck_reader {
  public:
    explicit deck_reader(std::istream& in) : in_(in) {}

    deck_reading read() {
        deck& d = r_.deck;
        if (!name(1, "prompt 1 (phase-shift file name)", d.psfile)) return r_;
        if (!name(2, "prompt 2 (cross-section file name)", d.xsfile)) return r_;
        if (read_prefix(in_, d.prefix) != read_status::ok)
            return fail(3, "prompt 3 (prefix of the output files)", deck_fault::kind::ended);
        r_.prompts_read = 3;
        if (!values(4, "prompt 4 (number of atoms)", d.nat)) return r_;
        if (d.nat < 1 || d.nat > NAT_) return r_;
        if (!atoms()) return r_;
        if (!values(6, "prompt 6 (core state angular momentum)", d.lcore)) return r_;
        if (!values(7, "prompt 7 (TOLL_lmax, Mmax, EPS, NEP)", d.toll_lmax, d.mmax, d.eps, d.nep))
            return r_;
        if (!values(8, "prompt 8 (IOUT, IF1, IF2, ENE, FAC)", d.iout, d.if1, d.if2, d.ene, d.fac))
            return r_;
        if (!values(9, "prompt 9 (ESP)", d.esp)) return r_;
        if (d.wants_experiment() && !name(10, "prompt 10 (experimental data file name)", d.expfile))
            return r_;
        r_.prompts_read = 10;
        if (!mesh(11, read_11, {"KMIN", "KMAX", "DK"}, {&d.kmin, &d.kmax, &d.dk})) return r_;
        mesh(12, read_12, {"DE0"}, {&d.de0});
        return r_;
    }

  private:
    deck_reading& fail(int prompt, const std::string& what, deck_fault::kind why) {
        deck_fault f;
        f.prompt = prompt;
        f.why = why;
        f.what = what;
        f.line = in_.line_number();
        r_.fault = f;
        return r_;
    }

    bool name(int prompt, const char* what, std::string& v) {
        if (read_name(in_, v) != read_status::ok) {
            fail(prompt, what, deck_fault::kind::ended);
            return false;
        }
        r_.prompts_read = prompt;
        return true;
    }

    template <class... T>
    bool values(int prompt, const std::string& what, T&... v) {
        const read_status st = read_values(in_, v...);
        if (st != read_status::ok) {
            fail(prompt, what,
                 st == read_status::end ? deck_fault::kind::ended : deck_fault::kind::unreadable);
            return false;
        }
        r_.prompts_read = prompt;
        return true;
    }

    bool atoms() {
        deck& d = r_.deck;
        d.atoms.assign(static_cast<std::size_t>(d.nat), deck_atom{});
        for (int i = 1; i <= d.nat; ++i) {
            deck_atom& a = d.atoms[static_cast<std::size_t>(i - 1)];
            const std::string what =
                "prompt 5 (coordinates and phase set of atom " + std::to_string(i) + ")";
            if (!values(5, what, a.x, a.y, a.z, a.iph)) {
                r_.fault->atom = i;
                return false;
            }
        }
        return true;
    }

    // Prompts 11 and 12 name the value that failed.
    bool mesh(int prompt, const char* what, std::initializer_list<const char*> names,
              std::initializer_list<real*> v) {
        list_read r(in_);
        auto name = names.begin();
        for (real* x : v) {
            const read_status st = r.get(*x);
            if (st != read_status::ok) {
                fail(prompt, what,
                     st == read_status::end ? deck_fault::kind::ended
                                            : deck_fault::kind::unreadable);
                r_.fault->value = *name;
                return false;
            }
            ++name;
        }
        r_.prompts_read = prompt;
        return true;
    }

    text_input in_;
    deck_reading r_;
};

// The reason of a fault after its read, for a deck on standard input or in the file `path`.
std::string reason(const deck_fault& f, const char* source) {
    if (f.prompt >= 11)
        return f.why == deck_fault::kind::ended
                   ? ": the input ended before " + f.value + " was read"
                   : ": the value of " + f.value + " could not be converted to a real";
    if (f.why == deck_fault::kind::ended) return std::string(": ") + source + " ended early";
    return " (line " + std::to_string(f.line) + "): a value cannot be read";
}

// A real in its shortest form that reads back to the same single-precision value.
std::string shortest(real v) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general);
    return std::string(buf, res.ptr);
}

void append_number(std::string& s, int v) {
    if (!s.empty()) s += ' ';
    s += std::to_string(v);
}

void append_number(std::string& s, real v) {
    if (!s.empty()) s += ' ';
    s += shortest(v);
}

template <class... T>
std::string numbers(const T&... v) {
    std::string s;
    (append_number(s, v), ...);
    return s;
}

std::string with_note(const std::string& line, const std::string& note) {
    return note.empty() ? line + '\n' : line + "   / " + note + '\n';
}

// Coordinates to 1e-5 Angstrom, without "-0.00000".
std::string coordinate(real v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%12.5f", std::abs(v) < 5e-6f ? 0.0 : static_cast<double>(v));
    return buf;
}

}  // namespace

bool deck_reading::answered(int p, int atom) const {
    if (p <= prompts_read) return true;
    return p == 5 && fault && fault->prompt == 5 && atom < fault->atom;
}

deck_reading read_deck(std::istream& in) {
    return deck_reader(in).read();
}

std::string fault_message(const deck_fault& f) {
    if (f.prompt >= 11) return f.what + reason(f, "standard input");
    return "input deck, " + f.what + reason(f, "standard input");
}

korva::deck load_deck(const std::string& path, int through) {
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in)
        throw read_error{path + ": the deck cannot be opened (" +
                         system_reason(errno, "no reason given") + ")"};
    const deck_reading r = read_deck(in);
    if (r.deck.nat < 1 || r.deck.nat > NAT_) {
        if (r.fault && r.fault->prompt <= 4)
            throw read_error{path + ": " + r.fault->what + reason(*r.fault, "the file")};
        throw read_error{path + ": prompt 4 (number of atoms): " + std::to_string(r.deck.nat) +
                         " is not from 1 to the atom capacity " + std::to_string(NAT_)};
    }
    if (r.fault && r.fault->prompt <= through)
        throw read_error{path + ": " + r.fault->what + reason(*r.fault, "the file")};
    return r.deck;
}

std::string atom_block_text(const korva::deck& d, const deck_notes& notes) {
    std::string s = std::to_string(d.atoms.size()) + '\n';
    for (std::size_t i = 0; i < d.atoms.size(); ++i) {
        const deck_atom& a = d.atoms[i];
        char iph[16];
        std::snprintf(iph, sizeof iph, "%4d", a.iph);
        const std::string line = coordinate(a.x) + coordinate(a.y) + coordinate(a.z) + iph;
        s += i < notes.atoms.size() ? line + "  / " + notes.atoms[i] + '\n' : line + '\n';
    }
    return s;
}

std::string deck_text(const korva::deck& d, const deck_notes& n) {
    std::string s = d.psfile + '\n' + d.xsfile + '\n' + d.prefix + '\n';
    s += atom_block_text(d, n);
    s += with_note(numbers(d.lcore), n.lcore);
    s += with_note(numbers(d.toll_lmax, d.mmax, d.eps, d.nep), n.p7);
    s += with_note(numbers(d.iout, d.if1, d.if2, d.ene, d.fac), n.p8);
    s += with_note(numbers(d.esp), n.esp);
    if (d.wants_experiment()) s += d.expfile + '\n';
    s += with_note(numbers(d.kmin, d.kmax, d.dk), n.p11);
    s += with_note(numbers(d.de0), n.p12);
    return s;
}

}  // namespace korva
