// Duplicate filtering and keyword deletion on 1,000,000 rows x 10 columns
// with about 30% duplicate values in the chosen column, without pauses.
// Targets: filtering under 3 s, deletion under 1 s.

#include "bench/bench_fill.h"
#include "bench/bench_support.h"

int main() {
    auto home =
        bench::programFolder(bench::fs::temp_directory_path() / "tabrovin-bench-processing");
    if (!bench::fillTable(home, 1000000)) return 1;
    auto m = bench::runBatch({"--home", home.string(), "dedupe", "--column", "0"});
    bench::report("duplicate filtering (700,000 left)", 1000000, m);
    m = bench::runBatch({"--home", home.string(), "delete", "--column", "1", "--keyword", "9-1"});
    bench::report("keyword deletion", 700000, m);
    return 0;
}
