#include "team/thread_team.hpp"

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace korva {

namespace {

// What the members share: the set-up, once, and a mailbox per member.
struct team_post {
    explicit team_post(int size) : boxes(static_cast<std::size_t>(size)) {}
    std::mutex mutex;
    std::condition_variable setup_cv;
    bool setup_shared = false;
    std::string setup;
    std::vector<std::deque<std::pair<int, std::string>>> boxes;
};

class thread_member final : public process_team {
  public:
    thread_member(team_post& post, int rank) : post_(post), rank_(rank) {}

    int rank() const override { return rank_; }
    int size() const override { return static_cast<int>(post_.boxes.size()); }

    std::string share_setup(const std::string& setup) override {
        std::unique_lock<std::mutex> lock(post_.mutex);
        if (rank_ == 0) {
            post_.setup = setup;
            post_.setup_shared = true;
            post_.setup_cv.notify_all();
            return setup;
        }
        post_.setup_cv.wait(lock, [this] { return post_.setup_shared; });
        return post_.setup;
    }

    void send(int to, const std::string& message) override {
        const std::lock_guard<std::mutex> lock(post_.mutex);
        post_.boxes[static_cast<std::size_t>(to)].emplace_back(rank_, message);
    }

    std::optional<std::pair<int, std::string>> receive() override {
        const std::lock_guard<std::mutex> lock(post_.mutex);
        auto& box = post_.boxes[static_cast<std::size_t>(rank_)];
        if (box.empty()) return std::nullopt;
        std::pair<int, std::string> m = std::move(box.front());
        box.pop_front();
        return m;
    }

    [[noreturn]] void abort() override { std::abort(); }

  private:
    team_post& post_;
    const int rank_;
};

}  // namespace

void run_thread_team(int size, const std::function<void(process_team&)>& member) {
    team_post post(size);
    std::vector<std::unique_ptr<thread_member>> members;
    for (int r = 0; r < size; ++r) members.push_back(std::make_unique<thread_member>(post, r));
    std::vector<std::thread> threads;
    for (int r = 1; r < size; ++r)
        threads.emplace_back(
            [&member, &members, r] { member(*members[static_cast<std::size_t>(r)]); });
    std::exception_ptr failure;
    try {
        member(*members[0]);
    } catch (...) {
        failure = std::current_exception();
    }
    // A member 0 that ended before the set-up went out still lets the others go.
    if (!post.setup_shared) members[0]->share_setup({});
    for (std::thread& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace korva
