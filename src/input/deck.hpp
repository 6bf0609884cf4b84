// The input deck: the answers to the program's twelve prompts, read whole before anything else
// happens, with the list-directed rules of every read (free format, D exponents, commas, a slash
// that ends a read early, one read per prompt, prompt 10 only when the deck asks for the
// experimental comparison). korva, korva-psgen, korva-xas and korva-cluster's writer share it.
#pragma once
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/types.hpp"

namespace korva {

// One atom of prompt 5: its position in Angstrom, as read, and its phase set.
struct deck_atom {
    real x = 0, y = 0, z = 0;
    int iph = 0;
};

// Every answer; a value the deck leaves out (a slash, an empty field between commas) keeps
// the default below, as the program always took it.
struct deck {
    std::string psfile, xsfile;    // prompts 1 and 2: at most 80 characters
    std::string prefix = "   ";    // prompt 3: 3 characters, padded with blanks
    int nat = 0;                   // prompt 4
    std::vector<deck_atom> atoms;  // prompt 5: nat atoms, the absorbing atom first
    int lcore = 0;                 // prompt 6
    real toll_lmax = 0;            // prompt 7
    int mmax = 0;
    real eps = 0;
    int nep = 0;
    int iout = 0;  // prompt 8
    int if1 = 0;
    int if2 = 0;
    real ene = 0;
    real fac = 0;
    real esp = 0;                     // prompt 9
    std::string expfile;              // prompt 10, asked only when wants_experiment()
    real kmin = 0, kmax = 0, dk = 0;  // prompt 11 (1/Angstrom)
    real de0 = 0;                     // prompt 12 (Rydberg)

    bool wants_experiment() const { return if1 > 0 && if2 == 1; }
};

// Where a deck could not be read: a value that is not a number of its kind, or the end of the
// input before the read was answered.
struct deck_fault {
    enum class kind { unreadable, ended };
    int prompt = 0;  // 1..12
    int atom = 0;    // prompt 5: the atom (1..nat) whose read failed
    kind why = kind::unreadable;
    std::string what;   // the read: "prompt 4 (number of atoms)"
    long line = 0;      // the line where an unreadable value stands
    std::string value;  // prompts 11 and 12: the name of the value (KMIN, KMAX, DK, DE0)
};

// A deck as far as it could be read. Reading stops at the first fault, and after prompt 4
// when the atom count is outside 1..NAT_ (no atom block can follow it).
struct deck_reading {
    korva::deck deck;
    int prompts_read = 0;  // the prompts answered in full, 0..12
    std::optional<deck_fault> fault;

    // Whether the deck answered prompt p (of prompt 5: atom `atom` too).
    bool answered(int p, int atom = 0) const;
};

deck_reading read_deck(std::istream& in);

// The message of a fault as the program's standard-error line gives it (without "korva: ").
std::string fault_message(const deck_fault& f);

// A deck file for a companion program, whose prompts must be answered up to `through` (5: the
// atoms; 12: all); throws read_error whose text names the file ("deck.in: prompt 5 (...) (line
// 9): a value cannot be read") for a deck that cannot be opened or read that far, or whose atom
// count is outside 1..NAT_.
korva::deck load_deck(const std::string& path, int through = 12);

// Notes a writer puts after a slash at the end of a line (the reader stops at the slash).
struct deck_notes {
    std::vector<std::string> atoms;  // one per atom, or none
    std::string lcore, p7, p8, esp, p11, p12;
};

// The deck as text, read back by read_deck to the same values: the names, the prefix, the atom
// block (coordinates to 1e-5 Angstrom), then every number in its shortest exact form.
std::string deck_text(const korva::deck& d, const deck_notes& notes = {});
// Prompts 4 and 5 alone: the atom count, then one line per atom.
std::string atom_block_text(const korva::deck& d, const deck_notes& notes = {});

}  // namespace korva
