#pragma once
// Shared by the benchmarks: a program folder beside the build, and running
// tabrovin-batch as a child process to measure its wall time and peak memory.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

namespace fs = std::filesystem;

inline fs::path binDir() {
    return fs::path(TABROVIN_BIN_DIR);
}

// A fresh program folder under `where` with the built data files.
inline fs::path programFolder(const fs::path& where) {
    fs::remove_all(where);
    fs::create_directories(where / "data");
    fs::create_directories(where / fs::path(u8"导出"));
    for (const char* f : {"B.mdb", "导出空白.xls", "导出空白.xlsx"})
        fs::copy_file(binDir() / "data" / fs::path(reinterpret_cast<const char8_t*>(f)),
                      where / "data" / fs::path(reinterpret_cast<const char8_t*>(f)));
    fs::copy_file(where / "data" / "B.mdb", where / "data" / "data.mdb");
    std::FILE* ini = std::fopen((where / "data" / "ini.txt").c_str(), "w");
    if (ini) std::fclose(ini);
    return where;
}

struct Measured {
    double seconds = 0;
    double peakMb = 0;
    int exitCode = -1;
};

// Waits for the child `pid` started at `start`: its wall time, peak memory
// and exit code.
inline Measured waitMeasured(pid_t pid, std::chrono::steady_clock::time_point start) {
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    Measured m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakMb = usage.ru_maxrss / 1024.0;
    m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

// Runs tabrovin-batch with `args`, its output discarded unless `show`.
inline Measured runBatch(const std::vector<std::string>& args, bool show = false) {
    std::vector<std::string> argv = {(binDir() / "tabrovin-batch").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto start = std::chrono::steady_clock::now();
    std::fflush(stdout);  // or the child would print the parent's buffered lines again
    pid_t pid = fork();
    if (pid == 0) {
        if (!show) {
            std::FILE* null = std::freopen("/dev/null", "w", stdout);
            (void)null;
        }
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    return waitMeasured(pid, start);
}

inline void report(const char* what, long long rows, const Measured& m) {
    std::printf("%-44s %9lld rows  %7.2f s  %10.0f rows/s  peak %6.1f MB%s\n", what, rows,
                m.seconds, rows / m.seconds, m.peakMb, m.exitCode ? "  (FAILED)" : "");
}

inline int shell(const std::string& command) {
    return std::system(command.c_str());
}

}  // namespace bench
