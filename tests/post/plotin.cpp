#include "post/plotin.hpp"

#include "common/textio.hpp"

namespace korva {

void nome(std::string& name) {
    name = field_a(name, 80);
    const std::size_t bracket = name.find(']');
    if (bracket == std::string::npos) return;
    name = field_a(std::string_view(name).substr(bracket + 1), 80);
}

void plotin(std::ostream& file, const std::string& connected_name, int flag, real& size) {
    file << (record() << "SET MODE VECTOR");
    file << (record() << "SET WINDOW X 2 12 Y 2 8.5");
    file << (record() << "SET LIMITS X 0 17 Y -.75 +.75");
    file << (record() << " 0. 0. ");
    file << (record() << "PLOT");
    std::string name = connected_name;
    nome(name);
    file << " TITLE TOP \"" << std::string(10, ' ') << "file" << std::string(3, ' ') << name
         << "\"\n";
    file << (record() << "TITLE 6.1 1.4 SIZE 2.5 \"k1(4A515O20-11)\"");
    file << (record() << "CASE                  \" U C CVUSVC  C \"");
    switch (flag) {
        case 0:
            size = 0.65f;
            break;
        case 2:
            size = 0.55f;
            break;
        case 3:
        case 4:
            size = 0.75f;
            break;
        default:
            break;  // flag 1 and any other keep the caller's size
    }
}

}  // namespace korva
