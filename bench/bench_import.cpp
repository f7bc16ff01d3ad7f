// Open + import throughput: a 65,535-row x 10-column .xls written by xlwt, a
// 1,000,000-row x 10-column .xlsx written by libxlsxwriter and a 100,000-row
// one whose texts are in a shared string table, imported by tabrovin-batch
// without pauses. Targets on a 2-core machine: the .xls in
// under 1 s, the .xlsx in under 10 s with peak memory under 300 MB.
//
// Each import is set against its floor: the same rows inserted straight
// into the same table in one transaction, one row per statement and many
// rows per statement, with no workbook to read.

#include "bench/bench_child.h"
#include "bench/bench_support.h"
#include "bench/bench_xlsx.h"

namespace {

void writeXls(const bench::fs::path& out, int rows) {
    std::string script =
        "import sys, xlwt\n"
        "wb = xlwt.Workbook(encoding='utf-8'); ws = wb.add_sheet('数据')\n"
        "for c in range(10): ws.write(0, c, '列%d' % c)\n"
        "for r in range(1, " +
        std::to_string(rows + 1) +
        "):\n"
        "    for c in range(10): ws.write(r, c, '值%d-%d' % (r, c) if c % 2 else r * 10 + c)\n"
        "wb.save(sys.argv[1])\n";
    bench::fs::path py = out;
    py += ".py";
    std::FILE* f = std::fopen(py.c_str(), "w");
    std::fputs(script.c_str(), f);
    std::fclose(f);
    bench::shell("/usr/bin/python3 " + py.string() + " " + out.string());
}

void reportFloor(const char* what, int rows, const bench::Measured& import,
                 const bench::fs::path& work) {
    for (int perStatement : {1, 50}) {
        auto floor = bench::inChild(
            [&] { return bench::bareInsert(work / "floor.mdb", rows, perStatement); });
        std::printf(
            "  floor: bare insert, %2d row(s) per statement  %6.2f s  peak %6.1f MB  "
            "%s / floor = %5.1f%s\n",
            perStatement, floor.seconds, floor.peakMb, what, import.seconds / floor.seconds,
            floor.exitCode ? "  (FAILED)" : "");
    }
    // What committing at every pause of the default 500 rows costs by itself.
    auto often =
        bench::inChild([&] { return bench::bareInsert(work / "floor.mdb", rows, 1, 501); });
    std::printf("  bare insert committing every 501 rows         %6.2f s  peak %6.1f MB%s\n",
                often.seconds, often.peakMb, often.exitCode ? "  (FAILED)" : "");
}

}  // namespace

int main() {
    auto work = bench::fs::temp_directory_path() / "tabrovin-bench-import";
    bench::fs::create_directories(work);
    auto xls = work / "65535x10.xls", xlsx = work / "1000000x10.xlsx";
    if (!bench::fs::exists(xls)) writeXls(xls, 65535);
    if (!bench::fs::exists(xlsx)) bench::writeXlsx(xlsx, 1000000, 1000000);

    auto home = bench::programFolder(work / "home");
    auto m = bench::runBatch({"--home", home.string(), "import", xls.string()});
    bench::report("open + import .xls 65,535 x 10", 65535, m);
    reportFloor("import", 65535, m, work);
    m = bench::runBatch({"--home", home.string(), "import", xlsx.string()});
    bench::report("open + import .xlsx 1,000,000 x 10", 1000000, m);
    reportFloor("import", 1000000, m, work);
    auto shared = work / "100000x10-shared.xlsx";
    // Written in a child: the writer holds the whole sheet, and a parent that
    // big would weigh on every later child's peak and start.
    if (!bench::fs::exists(shared))
        bench::inChild([&] { return bench::writeXlsx(shared, 100000, 100000, true), true; });
    m = bench::runBatch({"--home", home.string(), "import", shared.string()});
    bench::report("open + import .xlsx 100,000 x 10, shared strings", 100000, m);
    reportFloor("import", 100000, m, work);
    return 0;
}
