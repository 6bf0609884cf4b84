// Program entry: runs the deck from standard input; the exit status tells how the run ended
// (0 orderly end, 1 a condition the program reported itself, 2 input it could not read).
#include <exception>
#include <iostream>
#include <new>

#include "common/errors.hpp"
#include "driver/run.hpp"

int main() {
    std::ios::sync_with_stdio(false);
    try {
        korva::run(std::cin, std::cout);
    } catch (const korva::run_stop&) {
        std::cout.flush();
        return 1;
    } catch (const korva::read_error& e) {
        std::cout.flush();
        std::cerr << "korva: " << e.what << '\n';
        return 2;
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        std::cerr << "korva: out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        // Unwinding has removed the run's unfinished plot files.
        std::cout.flush();
        std::cerr << "korva: internal error: " << e.what() << '\n';
        return 1;
    }
    std::cout.flush();
    return 0;
}
