// What the loop over points sees of the team it computes in: which point to compute next, and
// where each point's signal goes. A member asks for its share one point at a time, so members
// that compute at different speeds still finish together.
#pragma once
#include <functional>
#include <optional>

#include "team/point_signal.hpp"

namespace korva {

class point_team {
  public:
    virtual ~point_team() = default;
    // The next point (1..total) for this member; none when there is no more for it.
    virtual std::optional<int> next_point() = 0;
    // The signal of a point this member computed.
    virtual void hand_back(point_signal&& s) = 0;
};

// Where member 0 puts the signals, in point order; it may throw to end the run.
using signal_sink = std::function<void(const point_signal&)>;

// A team of one: points 1..total in order, each signal delivered at once.
class serial_team final : public point_team {
  public:
    serial_team(int total, signal_sink deliver) : total_(total), deliver_(std::move(deliver)) {}
    std::optional<int> next_point() override {
        if (next_ > total_) return std::nullopt;
        return next_++;
    }
    void hand_back(point_signal&& s) override { deliver_(s); }

  private:
    int total_;
    int next_ = 1;
    signal_sink deliver_;
};

}  // namespace korva
