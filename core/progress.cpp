#include "core/progress.h"

#include <thread>

namespace tabrovin {

void waitOnePause(const Progress& progress, std::chrono::milliseconds length) {
    // A steady clock: the pause ends after its length whatever the wall clock does.
    const auto deadline = std::chrono::steady_clock::now() + length;
    while (!progress.cancelled() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

Status checkCancelled(const Progress& progress, const std::string& kept) {
    if (progress.cancelled()) return Error::cancelled(kept);
    return Status::Ok();
}

}  // namespace tabrovin
