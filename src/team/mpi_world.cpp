#include "team/mpi_world.hpp"

#include <mpi.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace korva {

namespace {

constexpr int tag_message = 1;  // every message between two ranks after the set-up

// How long a waiting rank sleeps between two tests: MPI's own waits spin, and would take the
// core from a rank that computes on the same machine.
constexpr std::chrono::milliseconds poll_interval(5);

// What a launcher sets for every process it starts: Open MPI's mpirun and mpiexec, a PMIx
// server (srun --mpi=pmix), a PMI-2 one (srun --mpi=pmi2).
bool launched_by_mpi() {
    for (const char* v : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK"})
        if (std::getenv(v) != nullptr) return true;
    return false;
}

void wait_idle(MPI_Request& req) {
    int done = 0;
    for (;;) {
        MPI_Test(&req, &done, MPI_STATUS_IGNORE);
        if (done) return;
        std::this_thread::sleep_for(poll_interval);
    }
}

int message_count(std::size_t n) {
    if (n > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("a message between the ranks is too long for MPI");
    return static_cast<int>(n);
}

class mpi_world final : public process_team {
  public:
    mpi_world() {
        int provided = 0;
        // Only the main thread of a rank calls MPI; rank 0's own point thread and the OpenMP
        // threads only compute.
        MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
        MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
        MPI_Comm_size(MPI_COMM_WORLD, &size_);
    }
    mpi_world(const mpi_world&) = delete;
    mpi_world& operator=(const mpi_world&) = delete;
    ~mpi_world() override {
        // A rank 0 that ended before the set-up went out still lets the others go.
        if (rank_ == 0 && !shared_) share_setup({});
        MPI_Finalize();
    }

    int rank() const override { return rank_; }
    int size() const override { return size_; }

    // First the length (0: none), by a non-blocking broadcast the others wait on idly, since
    // rank 0 may be reading a slow deck; then the bytes.
    std::string share_setup(const std::string& setup) override {
        unsigned long long n = rank_ == 0 ? setup.size() : 0;
        MPI_Request req;
        MPI_Ibcast(&n, 1, MPI_UNSIGNED_LONG_LONG, 0, MPI_COMM_WORLD, &req);
        wait_idle(req);
        shared_ = true;
        if (n == 0) return {};
        std::string bytes = rank_ == 0 ? setup : std::string(n, '\0');
        MPI_Bcast(bytes.data(), message_count(n), MPI_CHAR, 0, MPI_COMM_WORLD);
        return bytes;
    }

    void send(int to, const std::string& message) override {
        MPI_Send(message.data(), message_count(message.size()), MPI_CHAR, to, tag_message,
                 MPI_COMM_WORLD);
    }

    std::optional<std::pair<int, std::string>> receive() override {
        int flag = 0;
        MPI_Status status;
        MPI_Iprobe(MPI_ANY_SOURCE, tag_message, MPI_COMM_WORLD, &flag, &status);
        if (!flag) return std::nullopt;
        int n = 0;
        MPI_Get_count(&status, MPI_CHAR, &n);
        std::string message(static_cast<std::size_t>(n), '\0');
        MPI_Recv(message.data(), n, MPI_CHAR, status.MPI_SOURCE, tag_message, MPI_COMM_WORLD,
                 MPI_STATUS_IGNORE);
        return std::make_pair(status.MPI_SOURCE, std::move(message));
    }

    [[noreturn]] void abort() override {
        MPI_Abort(MPI_COMM_WORLD, 1);
        std::abort();  // MPI_Abort does not return; the compiler does not know it
    }

  private:
    int rank_ = 0, size_ = 1;
    bool shared_ = false;  // the set-up (or its absence) has gone out
};

}  // namespace

std::unique_ptr<process_team> join_mpi_world() {
    if (!launched_by_mpi()) return nullptr;
    return std::make_unique<mpi_world>();
}

}  // namespace korva
