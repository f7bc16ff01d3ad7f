#pragma once
#include <array>
#include <atomic>
#include <functional>

#include "core/progress.h"

namespace tabrovin {

// Figures from the worker, kept in atomics and read by the window's timer,
// so a fast loop never floods the window with events.
class WindowProgress : public Progress {
  public:
    static constexpr int64_t kUnchanged = -1;

    bool cancelled() const override { return cancel.load(std::memory_order_relaxed); }
    void count(Counter c, int64_t v) override { counters[static_cast<int>(c)] = v; }
    void advance(int64_t d, int64_t t) override {
        done = d;
        total = t;
    }
    void pause() override {
        ++pauses;
        waitOnePause(*this, std::chrono::milliseconds(500));
    }
    void partFailed(int, const Error& e) override {
        if (onPartFailed) onPartFailed(e);
    }

    std::atomic<bool> cancel{false};
    std::array<std::atomic<int64_t>, 3> counters{kUnchanged, kUnchanged, kUnchanged};
    std::atomic<int64_t> done{0}, total{0};
    std::atomic<int> pauses{0};
    std::function<void(const Error&)> onPartFailed;  // runs on the worker
};

}  // namespace tabrovin
