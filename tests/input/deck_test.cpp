// The deck reader every program shares: the list-directed forms, a written deck reading back to
// the same values, and the message of each way a deck can fail to answer.
#include "input/deck.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "common/errors.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

deck_reading read_text(const std::string& text) {
    std::istringstream in(text);
    return read_deck(in);
}

// Two atoms over three lines with D exponents, commas and a slash; prompt 10 asked for; prompt
// 11's read runs over two lines and prompt 12 ends at a slash before its value.
const char* const free_form =
    "a.ps\nb.xs\nab\n2 / atoms\n0,0,0,1\n1.8075D0, -.25 , 1e-3\n 2\n1\n"
    "0.002 3 1.0d-4 150\n2,1,1,8979,,\n2\nexp.dat\n3 11\n0.05\n/ no shift\n";

TEST(Deck, ListDirectedFormsAndWrittenDecksReadBack) {
    const deck_reading r = read_text(free_form);
    ASSERT_FALSE(r.fault) << fault_message(*r.fault);
    EXPECT_EQ(r.prompts_read, 12);
    const deck& d = r.deck;
    EXPECT_EQ(d.prefix, "ab ");
    EXPECT_EQ(d.atoms[1].x, 1.8075f);
    EXPECT_EQ(d.atoms[1].y, -0.25f);
    EXPECT_EQ(d.atoms[1].iph, 2);
    EXPECT_EQ(d.eps, 1e-4f);
    EXPECT_EQ(d.fac, 0.0f);  // an empty field between commas leaves the value as it was
    EXPECT_EQ(d.expfile, "exp.dat");
    EXPECT_EQ(d.dk, 0.05f);
    EXPECT_EQ(d.de0, 0.0f);

    // What the writer makes of it (with notes after slashes) reads back to the same numbers.
    deck_notes notes;
    notes.atoms = {"Cu   0.0000", "Cu   2.5562"};
    notes.p7 = "TOLL_lmax, Mmax, EPS, NEP";
    const deck_reading back = read_text(deck_text(d, notes));
    ASSERT_FALSE(back.fault);
    const deck& e = back.deck;
    EXPECT_EQ(deck_text(e), deck_text(d));
    EXPECT_EQ(e.atoms[1].y, d.atoms[1].y);
    EXPECT_EQ(e.eps, d.eps);
    EXPECT_EQ(e.ene, d.ene);
    EXPECT_EQ(e.kmax, d.kmax);
    EXPECT_EQ(atom_block_text(d, notes).substr(0, 52),
              "2\n     0.00000     0.00000     0.00000   1  / Cu   0");
}

TEST(Deck, EachFaultSaysWhichReadAndWhy) {
    const std::string head = "a.ps\nb.xs\nab\n";
    const std::pair<std::string, std::string> cases[] = {
        {"a.ps\n", "input deck, prompt 2 (cross-section file name): standard input ended early"},
        {head + "two\n", "input deck, prompt 4 (number of atoms) (line 4): a value cannot be read"},
        {head + "2\n0 0 0 1\n",
         "input deck, prompt 5 (coordinates and phase set of atom 2): standard input ended early"},
        {head + "2\n0 0 0 1\n0 0 2.5 1\n0\n0.001 2 0.0001 9\n2 1 1 0 1\n0\n",
         "input deck, prompt 10 (experimental data file name): standard input ended early"},
        {head + "2\n0 0 0 1\n0 0 2.5 1\n0\n0.001 2 0.0001 9\n2 1 0 0 1\n0\n0 five 1\n",
         "prompt 11 (DAI KMIN K MAX, DK SPETTRO INTERPOLATO): the value of KMAX could not be "
         "converted to a real"},
        {head + "2\n0 0 0 1\n0 0 2.5 1\n0\n0.001 2 0.0001 9\n2 1 0 0 1\n0\n0 5 1\n",
         "prompt 12 (DISTANZA E0 TEORICO DA SOGLIA SPERIMENTALE): the input ended before DE0 "
         "was read"},
    };
    for (const auto& [text, message] : cases) {
        const deck_reading r = read_text(text);
        ASSERT_TRUE(r.fault) << text;
        EXPECT_EQ(fault_message(*r.fault), message);
    }
    // An atom count the program cannot hold ends the reading without a fault: no atom block
    // can follow it.
    const deck_reading big = read_text(head + "100000000\n");
    EXPECT_FALSE(big.fault);
    EXPECT_EQ(big.prompts_read, 4);

    // A companion program names the file.
    const auto dir = test::scratch_dir("deck_load");
    test::write_file(dir / "deck.in", head + "2\n0 0 0 1\n0 x 2.5 1\n");
    try {
        load_deck((dir / "deck.in").string());
        ADD_FAILURE() << "no read_error";
    } catch (const read_error& e) {
        EXPECT_EQ(e.what, (dir / "deck.in").string() +
                              ": prompt 5 (coordinates and phase set of atom 2) (line 6): a value "
                              "cannot be read");
    }
}

}  // namespace
}  // namespace korva
