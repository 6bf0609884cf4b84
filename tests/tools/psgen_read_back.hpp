// The two files korva-psgen writes, read back through the program's own reader (psread): what
// KORVA holds after reading them, and the comment line each starts with.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/errors.hpp"
#include "common/listread.hpp"
#include "input/phase_table.hpp"
#include "input/psread.hpp"

namespace korva::psgen::test {

struct read_back {
    std::unique_ptr<phase_table> t = std::make_unique<phase_table>();  // conjugates, as KORVA
    std::string ps_header, xs_header;                                  // the first lines
    std::string summary;                                               // what psread printed
    bool ok = false;  // read without a run-ending message
};

// Reads ps and xs as KORVA does for a core state lcore; missing files fail the read.
inline read_back read_psgen_files(const std::filesystem::path& ps, const std::filesystem::path& xs,
                                  int lcore) {
    read_back r;
    std::ifstream pin(ps), xin(xs);
    if (!pin || !xin) return r;
    std::getline(pin, r.ps_header);
    std::getline(xin, r.xs_header);
    pin.seekg(0);
    xin.seekg(0);
    text_input p(pin), x(xin);
    std::ostringstream out;
    try {
        psread(out, p, x, lcore, *r.t);
        r.ok = true;
    } catch (const run_stop&) {
    } catch (const read_error&) {
    }
    r.summary = out.str();
    return r;
}

}  // namespace korva::psgen::test
