#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "core/progress.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
using namespace std::chrono_literals;

namespace {
// Stopped from another thread, as a window's cancel button would.
class StoppableProgress : public Progress {
  public:
    bool cancelled() const override { return stop.load(); }
    std::atomic<bool> stop{false};
};

std::chrono::steady_clock::duration timed(const std::function<void()>& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::steady_clock::now() - start;
}
}  // namespace

TEST(Pause, LastsItsLengthUnlessCancelled) {
    StoppableProgress p;
    EXPECT_GE(timed([&] { waitOnePause(p, 60ms); }), 60ms);
    EXPECT_TRUE(checkCancelled(p, "x").ok());

    std::thread stopper([&] {
        std::this_thread::sleep_for(50ms);
        p.stop = true;
    });
    EXPECT_LT(timed([&] { waitOnePause(p, 20s); }), 10s);
    stopper.join();
    EXPECT_TRUE(tt::failsWith(checkCancelled(p, "已写出的 1 页保留。"), err::kCancelled,
                              "已写出的 1 页保留。"));
}
