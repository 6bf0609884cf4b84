#include "driver/mpi_loop.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "common/textio.hpp"
#include "driver/energy_loop.hpp"
#include "driver/mpi_pack.hpp"
#include "post/signal_plot.hpp"

namespace korva {

namespace {

// How long rank 0's main thread sleeps between two looks at the reports: short against a point
// (0.1 to 1 s in a large run), long enough that looking costs rank 0 well under 1% of a core
// (at 1 ms it cost 4%, counted in rank 0's CPU figures).
constexpr std::chrono::milliseconds poll_interval(5);

struct point_index {
    int c = 0, e = 0;
};

point_index point_at(int k, int nen) {
    return {(k - 1) / nen + 1, (k - 1) % nen + 1};
}

// Whether the store may hold another layout than point `now` needs: its first point, a new
// channel, a layout change since the point before (where a serial run reshapes), or one since the
// last point this rank computed. Reshaping a store that had the layout already changes no bit.
bool layout_changes(const point_cutoffs& cut, int nphs, const std::optional<point_index>& last,
                    point_index now) {
    if (!last || last->c != now.c || cut.changed(now.e, nphs)) return true;
    for (int p = 1; p <= nphs; ++p)
        if (cut.l(p, now.e) != cut.l(p, last->e)) return true;
    return false;
}

// How the exception in flight ended a point (or a rank's preparation).
void record_failure(point_report& r) {
    try {
        throw;
    } catch (const run_stop&) {
        r.end = point_end::stopped;
    } catch (const std::bad_alloc&) {
        r.end = point_end::out_of_memory;
    } catch (const std::exception& x) {
        r.end = point_end::internal;
        r.what = x.what();
    } catch (...) {
        r.end = point_end::internal;
        r.what = "an exception of unknown type";
    }
}

// Point k computed into a report: its standard-output text, its signal, how it ended.
point_report compute_report(run_state& st, run_observer* obs, int k, bool changed,
                            signal_arrays& s) {
    const point_index pt = point_at(k, st.nen);
    point_report r;
    r.k = k;
    r.c = pt.c;
    r.e = pt.e;
    std::ostringstream text;
    try {
        compute_point(st, text, obs, pt.c, pt.e, changed, s);
        r.csig = s.c(pt.c, pt.e);
        r.xtot = s.xtot[pt.c - 1][pt.e - 1];
        r.camp = s.camp[pt.c - 1][pt.e - 1];
        r.cphase = s.cphase[pt.c - 1][pt.e - 1];
        r.kwave = s.kwave[pt.e - 1];
    } catch (...) {
        record_failure(r);
    }
    r.text = text.str();
    return r;
}

// Computes this rank's points in order, handing each report on, until the last, one that
// failed (a serial run would have stopped there), or `cancelled()`.
void compute_share(run_state& st, run_observer* obs, int rank, int size,
                   const std::function<void(point_report&&)>& deliver,
                   const std::function<bool()>& cancelled) {
    const int total = st.sig.nch * st.nen;
    auto s = std::make_unique<signal_arrays>();  // this rank's entries only
    std::optional<point_index> last;
    for (int k = rank + 1; k <= total && !cancelled(); k += size) {
        const point_index pt = point_at(k, st.nen);
        const bool changed = layout_changes(st.cut, st.phases.nphs, last, pt);
        point_report r = compute_report(st, obs, k, changed, *s);
        last = pt;
        const bool failed = r.end != point_end::done;
        deliver(std::move(r));
        if (failed) return;
    }
}

// Rank 0's share, computed on a thread of its own while the main thread, the only one that
// talks to the team, prints.
class own_share {
  public:
    own_share(run_state& st, run_observer* obs, int size)
        : worker_([this, &st, obs, size] { work(st, obs, size); }) {}
    own_share(const own_share&) = delete;
    own_share& operator=(const own_share&) = delete;
    ~own_share() {
        cancel();
        worker_.join();
    }

    void cancel() { cancelled_ = true; }

    // The reports computed since the last call; waits up to `wait` for one when there is none.
    std::vector<point_report> take(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_cv_.wait_for(lock, wait, [this] { return !ready_.empty() || failure_; });
        if (failure_) std::rethrow_exception(failure_);
        std::vector<point_report> out(std::make_move_iterator(ready_.begin()),
                                      std::make_move_iterator(ready_.end()));
        ready_.clear();
        return out;
    }

  private:
    void work(run_state& st, run_observer* obs, int size) {
        try {
            compute_share(
                st, obs, 0, size,
                [this](point_report&& r) {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    ready_.push_back(std::move(r));
                    ready_cv_.notify_one();
                },
                [this] { return cancelled_.load(); });
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            ready_cv_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_cv_;
    std::deque<point_report> ready_;
    std::exception_ptr failure_;
    std::atomic<bool> cancelled_{false};
    std::thread worker_;  // last: starts when everything it uses exists
};

// Rank 0's printing: the reports that have come in, each printed when its turn comes.
class point_printer {
  public:
    point_printer(run_state& st, std::ostream& out, process_team& team)
        : st_(st), out_(out), team_(team), total_(st.sig.nch * st.nen) {}

    bool finished() const { return next_ > total_; }
    bool all_ranks_done() const { return done_ranks_ == team_.size() - 1; }

    // Collects what has arrived (waiting up to the poll interval for rank 0's own share), then
    // prints every report whose turn has come. Throws as a serial run would at a failed point.
    void step(own_share* mine) {
        if (mine)
            for (point_report& r : mine->take(poll_interval)) add(std::move(r));
        bool any = collect();
        if (!mine && !any) std::this_thread::sleep_for(poll_interval);
        bool printed = false;
        for (auto it = waiting_.find(next_); it != waiting_.end(); it = waiting_.find(next_)) {
            const point_report r = std::move(it->second);
            waiting_.erase(it);
            ++next_;
            print(r);
            printed = true;
        }
        // Each line reaches the user now, not when the buffer fills.
        if (printed) out_.flush();
    }

    // Reads every message there is; false when there was none. An empty message is a rank's
    // last.
    bool collect() {
        bool any = false;
        while (std::optional<std::string> m = team_.receive()) {
            any = true;
            if (m->empty())
                ++done_ranks_;
            else
                add(unpack_report(*m));
        }
        return any;
    }

  private:
    void add(point_report&& r) {
        const int k = r.k;
        waiting_.emplace(k, std::move(r));
    }

    // The point's lines, its entries of the run's signal arrays and its line of the signal plot;
    // or the end of the run, after the lines its point wrote.
    void print(const point_report& r) {
        out_ << r.text;
        if (r.end == point_end::stopped) throw run_stop{};
        if (r.end == point_end::out_of_memory) throw std::bad_alloc();
        if (r.end == point_end::internal) throw std::runtime_error(r.what);
        signal_arrays& s = st_.sig;
        s.c(r.c, r.e) = r.csig;
        s.xtot[r.c - 1][r.e - 1] = r.xtot;
        s.camp[r.c - 1][r.e - 1] = r.camp;
        s.cphase[r.c - 1][r.e - 1] = r.cphase;
        s.kwave[r.e - 1] = r.kwave;
        dat_point(st_.dat, r.kwave, r.xtot, st_.par.esp);
        if (r.e == st_.nen && st_.par.lcore > 0) dat_curve_end(st_.dat, true);
    }

    run_state& st_;
    std::ostream& out_;
    process_team& team_;
    const int total_;
    int next_ = 1;
    int done_ranks_ = 0;
    std::map<int, point_report> waiting_;
};

// Every point printed, in order. When the run ends early, every rank is told to stop and is
// heard from (so no message is left unreceived) before the exception goes on.
void print_points(run_state& st, std::ostream& out, run_observer* obs, process_team& team) {
    point_printer printer(st, out, team);
    std::optional<own_share> mine;
    try {
        mine.emplace(st, obs, team.size());
        while (!printer.finished()) printer.step(&*mine);
    } catch (...) {
        if (mine) mine->cancel();
        team.end();
        while (!printer.all_ranks_done())
            if (!printer.collect()) std::this_thread::sleep_for(poll_interval);
        throw;
    }
    while (!printer.all_ranks_done()) printer.step(nullptr);
}

}  // namespace

void shared_energy_loop(run_state& st, std::ostream& out, run_observer* obs, process_team& team) {
    const std::string setup = pack_setup(st);  // before the loop's preparation changes nen
    prepare_loop(st, out, obs);
    team.share_setup(setup);
    print_points(st, out, obs, team);
    dat_curve_end(st.dat, false);
    out << (record() << "  ");
}

void team_worker(process_team& team, int threads) {
    const std::string setup = team.share_setup({});
    if (setup.empty()) return;  // the run ended before the loop
    auto st = std::make_unique<run_state>();
    st->threads = threads;
    unpack_setup(setup, *st);
    std::ostream silent(nullptr);  // rank 0 has printed all of it
    const auto deliver = [&team](point_report&& r) { team.send(pack_report(r)); };
    bool prepared = true;
    try {
        prepare_loop(*st, silent, nullptr, false);
    } catch (...) {
        // Only memory can fail here, rank 0 having passed every check: the rank's first point
        // reports it.
        point_report r;
        r.k = team.rank() + 1;
        record_failure(r);
        deliver(std::move(r));
        prepared = false;
    }
    if (prepared)
        compute_share(*st, nullptr, team.rank(), team.size(), deliver,
                      [&team] { return team.ended(false); });
    team.send({});
    team.ended(true);
}

}  // namespace korva
