// The whole run on a deck from the fuzz bytes, in a scratch working directory that holds the
// small data files of tests/fuzz/data (a.ps/a.xs: two phase sets, 4 points, one channel;
// b.ps/b.xs: two phase sets, 3 points, two channels; a.exp, b.exp).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "common/errors.hpp"
#include "driver/run.hpp"
#include "fuzz_common.hpp"
#include "support/plot_check.hpp"

namespace fs = std::filesystem;

namespace {

std::string scratch;
int home = -1;

void remove_scratch() {
    std::error_code ec;
    fs::remove_all(scratch, ec);
}

// No plot file may hold a NaN or an infinity.
void check_plot_files() {
    const std::string bad = korva::test::non_finite_plot_line(".");
    if (!bad.empty()) {
        std::fprintf(stderr, "fuzz_deck: %s\n", bad.c_str());
        korva_fuzz::fail("a plot file holds a non-finite value");
    }
}

void remove_plot_files() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(".", ec))
        if (entry.path().filename().string().find("_kor.") != std::string::npos)
            fs::remove(entry.path(), ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/korva-fuzz-deck-XXXXXX";
    if (!mkdtemp(dir.data())) {
        std::perror("fuzz_deck: mkdtemp");
        std::abort();
    }
    for (const char* name : {"a.ps", "a.xs", "b.ps", "b.xs", "a.exp", "b.exp"})
        fs::copy_file(fs::path(KORVA_FUZZ_DATA) / name, fs::path(dir) / name);
    scratch = dir;
    // libFuzzer's own paths (corpus, artifacts) stay relative to where it started: the run
    // alone goes to the scratch directory.
    home = open(".", O_RDONLY | O_DIRECTORY);
    if (home < 0) {
        std::perror("fuzz_deck: open .");
        std::abort();
    }
    std::atexit(remove_scratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = korva_fuzz::as_text(data, size);
    std::istringstream deck(text);
    korva::run_options opt;
    opt.threads = 1;
    // Every kernel gives the same bits, so each input runs one of them, picked by its length:
    // the narrower kernels meet the fuzzer's decks too on a processor that has a wider one.
    constexpr korva::pass_kernel kernels[] = {korva::pass_kernel::best, korva::pass_kernel::avx2,
                                              korva::pass_kernel::scalar};
    opt.kernel = kernels[size % 3];
    if (chdir(scratch.c_str()) != 0) {
        std::perror("fuzz_deck: chdir");
        std::abort();
    }
    remove_plot_files();
    bool ended = false;
    try {
        korva::run(deck, korva_fuzz::null_out(), opt);
        ended = true;
    } catch (const korva::run_stop&) {
    } catch (const korva::read_error& e) {
        if (e.what.empty()) korva_fuzz::fail("read_error without a message");
    } catch (const korva::write_error& e) {
        if (e.file.empty() || e.reason.empty()) korva_fuzz::fail("write_error without a message");
    } catch (const std::bad_alloc&) {
    }
    // A run that stopped early leaves no plot file of its own, not even a temporary one (the
    // program refuses prefixes that would reach outside this directory).
    if (!ended) {
        for (const auto& entry : fs::directory_iterator("."))
            if (entry.path().filename().string().find("_kor.") != std::string::npos)
                korva_fuzz::fail("a run that stopped early left a plot file");
    }
    check_plot_files();
    if (fchdir(home) != 0) {
        std::perror("fuzz_deck: fchdir");
        std::abort();
    }
    return 0;
}
