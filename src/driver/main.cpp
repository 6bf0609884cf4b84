// Program entry: the command line, then the run of the deck from standard input; the exit
// status tells how the run ended (0 orderly end, 1 a condition the program reported itself or
// a command line it refused, 2 input it could not read, 3 output it could not write).
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/fd_stream.hpp"
#include "driver/command_line.hpp"
#include "driver/run.hpp"

namespace {

// The run, and the status and standard-error line of each way it can end. Standard output is
// flushed before anything reaches standard error.
int run_deck(std::ostream& out, const korva::run_options& opt) {
    try {
        korva::run(std::cin, out, opt);
    } catch (const korva::usage_error& e) {
        std::cerr << "korva: " << e.what << '\n';
        return 1;
    } catch (const korva::run_stop&) {
        out.flush();
        return 1;
    } catch (const korva::read_error& e) {
        out.flush();
        std::cerr << "korva: " << e.what << '\n';
        return 2;
    } catch (const korva::write_error& e) {
        out.flush();
        std::cerr << "korva: " << e.file << ": " << e.reason << '\n';
        return 3;
    } catch (const std::bad_alloc&) {
        out.flush();
        std::cerr << "korva: out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        // Unwinding has removed the run's unfinished plot files.
        out.flush();
        std::cerr << "korva: internal error: " << e.what() << '\n';
        return 1;
    }
    out.flush();
    return 0;
}

// The text of --help or --version on standard output.
int print(std::ostream& out, const std::string& text) {
    out << text;
    out.flush();
    if (out) return 0;
    std::cerr << "korva: standard output: writing failed ("
              << korva::system_reason(korva::stream_error(out), "the stream failed") << ")\n";
    return 3;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Standard output through a buffer that keeps the reason of a failed write.
    korva::fd_streambuf outbuf(1);
    std::ostream out(&outbuf);
    korva::command_line cl;
    try {
        cl = korva::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const korva::usage_error& e) {
        std::cerr << "korva: " << e.what << '\n';
        return 1;
    }
    if (cl.what == korva::command_line::action::help) return print(out, korva::usage_text());
    if (cl.what == korva::command_line::action::version) return print(out, korva::version_text());
    korva::run_options opt;
    opt.polarisations = cl.polarisations;
    return run_deck(out, opt);
}
