#pragma once
// Runs a piece of work in a child process, so that its wall time and peak
// memory are its own and not the benchmark's.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "bench/bench_support.h"

namespace bench {

inline Measured inChild(const std::function<bool()>& work) {
    std::fflush(stdout);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) _exit(work() ? 0 : 1);
    return waitMeasured(pid, start);
}

}  // namespace bench
