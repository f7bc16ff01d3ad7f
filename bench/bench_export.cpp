// Export of 1,000,000 rows x 10 columns in pages of 1,000 (1,000 workbooks),
// and of 65,535 rows in one workbook. Targets: under 5 s and under 1 s.

#include "bench/bench_fill.h"
#include "bench/bench_support.h"

int main() {
    auto home = bench::programFolder(bench::fs::temp_directory_path() / "tabrovin-bench-export");
    if (!bench::fillTable(home, 1000000)) return 1;
    auto m = bench::runBatch({"--home", home.string(), "export", "--rows", "1000"});
    bench::report("export 1,000 workbooks of 1,000 rows", 1000000, m);

    auto small = bench::programFolder(bench::fs::temp_directory_path() / "tabrovin-bench-export-1");
    if (!bench::fillTable(small, 65535)) return 1;
    m = bench::runBatch({"--home", small.string(), "export", "--rows", "65535"});
    bench::report("export one workbook of 65,535 rows", 65535, m);
    return 0;
}
