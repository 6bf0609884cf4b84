// Program entry: runs the deck from standard input; the exit status tells how the run ended
// (0 orderly end, 1 a condition the program reported itself, 2 input it could not read,
// 3 output it could not write).
#include <exception>
#include <iostream>
#include <new>

#include "common/errors.hpp"
#include "common/fd_stream.hpp"
#include "driver/run.hpp"

namespace {

// The run, and the status and standard-error line of each way it can end. Standard output is
// flushed before anything reaches standard error.
int run_deck(std::ostream& out) {
    try {
        korva::run(std::cin, out);
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

}  // namespace

int main() {
    std::ios::sync_with_stdio(false);
    // Standard output through a buffer that keeps the reason of a failed write.
    korva::fd_streambuf outbuf(1);
    std::ostream out(&outbuf);
    return run_deck(out);
}
