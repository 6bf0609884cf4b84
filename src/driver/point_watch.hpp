// What an in-process caller of a run hears between energy points, and how it stops the run
// there (a progress bar, Ctrl-C in an interpreter). The program itself sets neither.
#pragma once
#include <atomic>
#include <functional>

#include "common/errors.hpp"

namespace korva {

struct point_watch {
    // Called after each point is taken into the run, in point order, on the thread that called
    // run(): the points taken so far and the run's total.
    std::function<void(int taken, int total)> progress;
    // Read after each point is taken (after `progress`): once true, the run ends there with
    // run_cancelled and leaves no plot file.
    const std::atomic<bool>* cancel = nullptr;

    void after_point(int taken, int total) const {
        if (progress) progress(taken, total);
        if (cancel && cancel->load()) throw run_cancelled{};
    }
};

}  // namespace korva
