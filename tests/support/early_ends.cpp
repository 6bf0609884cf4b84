#include "support/early_ends.hpp"

#include <sstream>

#include "support/run_program.hpp"

namespace korva::test {

namespace fs = std::filesystem;

namespace {

// t_l = 1e25 at the second energy point: the recursion of point 2 overflows while other points
// are being computed.
void overflow_at_point_two(const fs::path& dir) {
    std::istringstream in(read_file(dir / "cu.ps"));
    std::string line, first_energy, out;
    std::getline(in, line);
    out = line + '\n';
    int point = 0;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string e, kre, kim, iph, l;
        f >> e >> kre >> kim >> iph >> l;
        if (e != first_energy) ++point, first_energy = e;
        if (point == 2) line = e + ' ' + kre + ' ' + kim + ' ' + iph + ' ' + l + " 1e25 1e25";
        out += line + '\n';
    }
    write_file(dir / "cu.ps", out);
}

}  // namespace

std::vector<early_end> early_ends() {
    return {
        {"a point", overflow_at_point_two, 1,
         "  *** ERROR: THE RECURSION FOR L0 =           1 M0 =           0 AT ENERGY POINT  "
         "         2 GAVE A NON-FINITE VALUE (A ZERO DENOMINATOR) ***\n"},
        {"the set-up", [](const fs::path& dir) { fs::remove(dir / "cu.ps"); }, 1,
         "  *** ERROR PHASE SHIFT FILE NOT FOUND ***\n"},
        {"the deck's last answer",
         [](const fs::path& dir) {
             std::string deck = read_file(dir / "deck.in");
             deck.erase(deck.rfind("0\n"));  // prompt 12 unanswered
             write_file(dir / "deck.in", deck);
         },
         2, " ms  <<<<\n"},
        {"the post-processing",
         [](const fs::path& dir) { fs::create_directory(dir / "sm _kor.chi"); }, 3,
         "  >>>>   INTERPOLATION MESH GENERATED   <<<<\n"},
    };
}

}  // namespace korva::test
