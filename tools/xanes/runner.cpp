#include "runner.hpp"

#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>

namespace korva::xanes {

namespace {

using clock = std::chrono::steady_clock;

// How often the loop looks at the children when none writes, ms.
constexpr int poll_ms = 200;

double seconds_since(clock::time_point t) {
    return std::chrono::duration<double>(clock::now() - t).count();
}

std::string seconds_text(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f s", s);
    return buf;
}

// The point number of a progress line of korva (">>>>   17   Lm= ..."), or 0.
int point_of(const std::string& line) {
    const auto p = line.find(">>>>");
    if (p == std::string::npos || line.find("Lm=") == std::string::npos) return 0;
    std::istringstream is(line.substr(p + 4));
    int n = 0;
    return (is >> n) ? n : 0;
}

// One run as it goes through its stages.
struct active_run {
    const run_plan* plan = nullptr;
    std::size_t stage = 0;
    std::unique_ptr<process> child;
    clock::time_point started;
    run_facts facts;
};

class scheduler {
  public:
    scheduler(const plan& p, std::ostream& out) : plan_(p), out_(out), facts_(p.runs.size()) {}

    std::vector<run_facts> run_all();

  private:
    void start_stage(active_run& r);
    void on_line(active_run& r, const std::string& line);
    void stage_done(active_run& r);
    [[noreturn]] void fail(active_run& r, const ending& e);

    const plan& plan_;
    std::ostream& out_;
    std::vector<run_facts> facts_;
    std::vector<std::unique_ptr<active_run>> active_;
};

void scheduler::start_stage(active_run& r) {
    r.started = clock::now();
    active_run* self = &r;
    r.child = std::make_unique<process>(r.plan->stages[r.stage],
                                        [this, self](const std::string& l) { on_line(*self, l); });
}

void scheduler::on_line(active_run& r, const std::string& line) {
    const std::string stage = stage_names[r.stage];
    std::istringstream w(line);
    if (stage == "cluster" && r.facts.atoms == 0) {
        w >> r.facts.atoms;
    } else if (stage == "psgen") {
        std::string a, b, c, value;
        if (line.rfind("korva-psgen: ", 0) == 0) w >> a >> r.facts.energies;
        if (line.find("Fermi level") != std::string::npos) w >> b >> c >> r.facts.fermi;
    } else if (stage == "korva") {
        if (const int n = point_of(line); n > 0)
            out_ << "korva-xanes: [" << r.plan->label << "] korva: energy point " << n << " of "
                 << r.facts.energies << "\n"
                 << std::flush;
    }
}

void scheduler::fail(active_run& r, const ending& e) {
    for (auto& other : active_)
        if (other.get() != &r && other->child) other->child->stop();
    stage_failure f{stage_names[r.stage], r.plan->label, r.plan->folder,
                    e.last_error,         e.status,      e.signal};
    throw f;
}

void scheduler::stage_done(active_run& r) {
    const ending e = r.child->wait();
    r.child.reset();
    if (!e.ok()) fail(r, e);
    std::string what;
    if (r.stage == 0) what = std::to_string(r.facts.atoms) + " atoms";
    if (r.stage == 1)
        what = std::to_string(r.facts.energies) + " energies, E_F " + r.facts.fermi + " Ry";
    if (r.stage == 2) what = std::to_string(r.facts.energies) + " points";
    out_ << "korva-xanes: [" << r.plan->label << "] " << stage_names[r.stage] << " done: " << what
         << " (" << seconds_text(seconds_since(r.started)) << ")\n"
         << std::flush;
    if (++r.stage < r.plan->stages.size()) start_stage(r);
}

std::vector<run_facts> scheduler::run_all() {
    std::size_t next = 0;
    while (next < plan_.runs.size() || !active_.empty()) {
        while (next < plan_.runs.size() && active_.size() < static_cast<std::size_t>(plan_.jobs)) {
            auto r = std::make_unique<active_run>();
            r->plan = &plan_.runs[next++];
            active_.push_back(std::move(r));
            start_stage(*active_.back());
        }
        std::vector<process*> running;
        for (auto& r : active_) running.push_back(r->child.get());
        pump(running, poll_ms);
        for (std::size_t i = 0; i < active_.size();) {
            active_run& r = *active_[i];
            if (r.child->finished()) stage_done(r);
            if (!r.child) {
                facts_[static_cast<std::size_t>(r.plan - plan_.runs.data())] = r.facts;
                active_.erase(active_.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
    }
    return facts_;
}

// korva-xas over every run; its summary is echoed.
std::vector<std::string> run_xas(const plan& p, std::ostream& out) {
    std::vector<std::string> lines;
    const clock::time_point t = clock::now();
    process x(p.xas, [&](const std::string& l) { lines.push_back(l); });
    while (!x.finished()) pump({&x}, poll_ms);
    const ending e = x.wait();
    if (!e.ok()) throw stage_failure{"xas", "", "", e.last_error, e.status, e.signal};
    for (const std::string& l : lines) out << l << "\n";
    out << "korva-xanes: xas done (" << seconds_text(seconds_since(t)) << ")\n" << std::flush;
    return lines;
}

}  // namespace

execution execute(const plan& p, std::ostream& out) {
    execution e;
    e.facts = scheduler(p, out).run_all();
    e.xas_lines = run_xas(p, out);
    return e;
}

}  // namespace korva::xanes
