#include "driver/mpi_world.hpp"

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

constexpr int tag_report = 1;  // a rank to rank 0: a point's report, or empty when it is done
constexpr int tag_end = 2;     // rank 0 to a rank: the run is over

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
        // Only the main thread of a rank calls MPI; rank 0's point thread and the OpenMP
        // threads only compute.
        MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
        MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
        MPI_Comm_size(MPI_COMM_WORLD, &size_);
    }
    mpi_world(const mpi_world&) = delete;
    mpi_world& operator=(const mpi_world&) = delete;
    ~mpi_world() override {
        if (rank_ == 0) end();
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
        if (n == 0) {
            ended_ = true;
            return {};
        }
        std::string bytes = rank_ == 0 ? setup : std::string(n, '\0');
        MPI_Bcast(bytes.data(), message_count(n), MPI_CHAR, 0, MPI_COMM_WORLD);
        return bytes;
    }

    void send(const std::string& message) override {
        MPI_Send(message.data(), message_count(message.size()), MPI_CHAR, 0, tag_report,
                 MPI_COMM_WORLD);
    }

    std::optional<std::string> receive() override {
        int flag = 0;
        MPI_Status status;
        MPI_Iprobe(MPI_ANY_SOURCE, tag_report, MPI_COMM_WORLD, &flag, &status);
        if (!flag) return std::nullopt;
        int n = 0;
        MPI_Get_count(&status, MPI_CHAR, &n);
        std::string message(static_cast<std::size_t>(n), '\0');
        MPI_Recv(message.data(), n, MPI_CHAR, status.MPI_SOURCE, tag_report, MPI_COMM_WORLD,
                 MPI_STATUS_IGNORE);
        return message;
    }

    void end() override {
        if (ended_) return;
        ended_ = true;
        if (!shared_) {
            share_setup({});
            return;
        }
        for (int r = 1; r < size_; ++r) MPI_Send(nullptr, 0, MPI_CHAR, r, tag_end, MPI_COMM_WORLD);
    }

    bool ended(bool wait) override {
        while (!ended_) {
            int flag = 0;
            MPI_Iprobe(0, tag_end, MPI_COMM_WORLD, &flag, MPI_STATUS_IGNORE);
            if (flag) {
                MPI_Recv(nullptr, 0, MPI_CHAR, 0, tag_end, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
                ended_ = true;
            } else if (!wait) {
                return false;
            } else {
                std::this_thread::sleep_for(poll_interval);
            }
        }
        return true;
    }

    [[noreturn]] void abort() override {
        MPI_Abort(MPI_COMM_WORLD, 1);
        std::abort();  // MPI_Abort does not return; the compiler does not know it
    }

  private:
    int rank_ = 0, size_ = 1;
    bool shared_ = false;  // the set-up (or its absence) has gone out
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<process_team> join_mpi_world() {
    if (!launched_by_mpi()) return nullptr;
    return std::make_unique<mpi_world>();
}

}  // namespace korva
