// Start-up of tabrovin-batch: the time of a run that does nothing but print
// its usage, and the shared libraries the loader has to map for it.

#include <cstdio>

#include "bench/bench_support.h"

int main() {
    const int runs = 50;
    double total = 0;
    for (int i = 0; i < runs; ++i) total += bench::runBatch({"--help"}).seconds;
    std::printf("start-up: %.1f ms per run of tabrovin-batch --help (%d runs)\n",
                1000 * total / runs, runs);
    std::string ldd = "ldd " + (bench::binDir() / "tabrovin-batch").string() + " | grep -c '=>'";
    std::FILE* p = popen(ldd.c_str(), "r");
    int libraries = -1;
    if (p && std::fscanf(p, "%d", &libraries) != 1) libraries = -1;
    if (p) pclose(p);
    std::printf("shared libraries loaded: %d\n", libraries);
    return 0;
}
