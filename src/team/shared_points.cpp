#include "team/shared_points.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace korva {

namespace {

// How long a waiting thread sleeps between two looks at the messages: short against a point
// (0.1 to 1 s in a large run), long enough that looking costs well under 1% of a core.
constexpr std::chrono::milliseconds poll_interval(5);

// The messages: a member to member 0: 'H' ready for points, 'R' + a signal, 'X' a point it
// skipped after its own failure; member 0 to a member: 'P' + a point, 'E' no more points.
std::string point_message(int k) {
    std::string m(1 + sizeof k, 'P');
    std::memcpy(m.data() + 1, &k, sizeof k);
    return m;
}

int point_of(const std::string& m) {
    int k = 0;
    if (m.size() != 1 + sizeof k) throw std::runtime_error("a point message has the wrong size");
    std::memcpy(&k, m.data() + 1, sizeof k);
    return k;
}

// The points not yet handed out; member 0's threads share it.
class dispenser {
  public:
    explicit dispenser(int total) : total_(total) {}
    std::optional<int> take() {
        if (closed_) return std::nullopt;
        const int k = next_.fetch_add(1);
        if (k > total_) return std::nullopt;
        return k;
    }
    void close() { closed_ = true; }

  private:
    const int total_;
    std::atomic<int> next_{1};
    std::atomic<bool> closed_{false};
};

// Member 0's own share, computed on a thread of its own while the calling thread, the only one
// that talks to the team, delivers.
class own_share final : public point_team {
  public:
    own_share(dispenser& points, const point_work& work) : points_(points) {
        worker_ = std::thread([this, &work] { run(work); });
    }
    own_share(const own_share&) = delete;
    own_share& operator=(const own_share&) = delete;
    ~own_share() override {
        cancelled_ = true;
        worker_.join();
    }

    std::optional<int> next_point() override {
        if (cancelled_) return std::nullopt;
        return points_.take();
    }
    void hand_back(point_signal&& s) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        ready_.push_back(std::move(s));
        ready_cv_.notify_one();
    }
    void cancel() { cancelled_ = true; }

    // The signals computed since the last call; waits up to `wait` for one when there is none.
    std::vector<point_signal> take(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_cv_.wait_for(lock, wait, [this] { return !ready_.empty() || failure_; });
        if (failure_) std::rethrow_exception(failure_);
        std::vector<point_signal> out(std::make_move_iterator(ready_.begin()),
                                      std::make_move_iterator(ready_.end()));
        ready_.clear();
        return out;
    }

  private:
    void run(const point_work& work) {
        try {
            work(*this);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            ready_cv_.notify_one();
        }
    }

    dispenser& points_;
    std::mutex mutex_;
    std::condition_variable ready_cv_;
    std::deque<point_signal> ready_;
    std::exception_ptr failure_;
    std::atomic<bool> cancelled_{false};
    std::thread worker_;
};

// Member 0's side of the messages: points out as the members ask, signals in, each delivered
// when its turn comes.
class point_lead {
  public:
    point_lead(process_team& team, int total, dispenser& points, const signal_sink& deliver)
        : team_(team),
          total_(total),
          points_(points),
          deliver_(deliver),
          outstanding_(static_cast<std::size_t>(team.size()), 0),
          told_end_(static_cast<std::size_t>(team.size()), false) {}

    bool delivered_all() const { return next_ > total_; }
    bool members_done() const {
        for (int r = 1; r < team_.size(); ++r)
            if (!told_end_[r] || outstanding_[r] > 0) return false;
        return true;
    }

    // Collects what has arrived (waiting up to the poll interval for member 0's own share),
    // then delivers every signal whose turn has come.
    void step(own_share* mine) {
        if (mine)
            for (point_signal& s : mine->take(poll_interval)) add(std::move(s));
        const bool any = collect();
        if (!mine && !any) std::this_thread::sleep_for(poll_interval);
        for (auto it = waiting_.find(next_); it != waiting_.end(); it = waiting_.find(next_)) {
            const point_signal s = std::move(it->second);
            waiting_.erase(it);
            ++next_;
            deliver_(s);
        }
    }

    // Answers every message there is; false when there was none.
    bool collect() {
        bool any = false;
        while (std::optional<std::pair<int, std::string>> m = team_.receive()) {
            any = true;
            answer(m->first, m->second);
        }
        return any;
    }

  private:
    void answer(int from, const std::string& m) {
        const char tag = m.empty() ? '?' : m[0];
        if (tag == 'H') {
            // Two points at first: a member always holds the next while it computes one.
            give(from);
            give(from);
            return;
        }
        if (tag != 'R' && tag != 'X') throw std::runtime_error("an unknown message from a member");
        --outstanding_[from];
        if (tag == 'R') add(unpack_signal(m, 1));
        give(from);
    }

    void give(int to) {
        if (told_end_[to]) return;
        if (const std::optional<int> k = points_.take()) {
            team_.send(to, point_message(*k));
            ++outstanding_[to];
        } else {
            team_.send(to, "E");
            told_end_[to] = true;
        }
    }

    void add(point_signal&& s) {
        if (!delivered_all()) waiting_.emplace(s.k, std::move(s));
    }

    process_team& team_;
    const int total_;
    dispenser& points_;
    const signal_sink& deliver_;
    int next_ = 1;
    std::vector<int> outstanding_;
    std::vector<bool> told_end_;
    std::map<int, point_signal> waiting_;
};

// A member's view of the points member 0 hands it.
class point_follower final : public point_team {
  public:
    explicit point_follower(process_team& team) : team_(team) {}

    std::optional<int> next_point() override {
        if (failed_ || ended_) return std::nullopt;
        return wait_for_point();
    }
    void hand_back(point_signal&& s) override {
        if (s.end != point_end::done) failed_ = true;
        team_.send(0, 'R' + pack_signal(s));
    }
    // After the work: every point still coming is skipped, until member 0 says the end.
    void drain() {
        while (!ended_)
            if (wait_for_point()) team_.send(0, "X");
    }

  private:
    std::optional<int> wait_for_point() {
        for (;;) {
            if (std::optional<std::pair<int, std::string>> m = team_.receive()) {
                if (m->second == "E") {
                    ended_ = true;
                    return std::nullopt;
                }
                return point_of(m->second);
            }
            std::this_thread::sleep_for(poll_interval);
        }
    }

    process_team& team_;
    bool failed_ = false, ended_ = false;
};

}  // namespace

void lead_points(process_team& team, int total, const point_work& own, const signal_sink& deliver) {
    dispenser points(total);
    point_lead lead(team, total, points, deliver);
    std::optional<own_share> mine;
    try {
        mine.emplace(points, own);
        while (!lead.delivered_all()) lead.step(&*mine);
    } catch (...) {
        points.close();
        if (mine) mine->cancel();
        while (!lead.members_done())
            if (!lead.collect()) std::this_thread::sleep_for(poll_interval);
        throw;
    }
    while (!lead.members_done()) lead.step(nullptr);
}

void follow_points(process_team& team, const point_work& work) {
    team.send(0, "H");
    point_follower f(team);
    work(f);
    f.drain();
}

}  // namespace korva
