// .xlsx pages and the split by value, each beside what it is measured against:
// 300,000 x 10 rows as .xlsx pages of 100,000 beside a floor that deflates
// the same worksheet XML at the same level (target: within 1.5x), and
// 300,000 rows split into 1,000 values beside the .xls export of as many
// pages of as many rows (target: within 2x). Peak memory is printed with
// each, and again at ten times the files or the rows, to show it flat.

#include <zlib.h>

#include "bench/bench_fill.h"
#include "bench/bench_support.h"
#include "platform/sheets/zip_archive.h"

namespace {

// Deflates `xml` as the zip writer does (raw deflate, level 6) into a
// buffer of a few kilobytes that is thrown away.
double deflateSeconds(const std::vector<std::string>& parts) {
    auto start = std::chrono::steady_clock::now();
    for (const auto& xml : parts) {
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::vector<unsigned char> out(1 << 16);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(xml.data()));
        z.avail_in = static_cast<uInt>(xml.size());
        int rc = Z_OK;
        while (rc != Z_STREAM_END) {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            rc = deflate(&z, Z_FINISH);
        }
        deflateEnd(&z);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The worksheet XML of every .xlsx page in the export folder.
std::vector<std::string> sheetsOf(const bench::fs::path& home) {
    std::vector<std::string> parts;
    for (auto& e : bench::fs::directory_iterator(home / bench::fs::path(u8"导出"))) {
        if (e.path().extension() != ".xlsx") continue;
        auto zip = tabrovin::sheets::ZipArchive::open(e.path());
        if (!zip) continue;
        auto xml = (*zip)->read("xl/worksheets/sheet1.xml", size_t{1} << 31);
        if (xml) parts.push_back(std::move(*xml));
    }
    return parts;
}

// Column a1 takes `values` values, 城0 to 城<values - 1>, in turn.
bool cities(const bench::fs::path& home, int values) {
    tabrovin::Database db;
    if (!db.open(tabrovin::ProgramPaths(home).workingDb()).ok()) return false;
    return db.run({"UPDATE wen SET a1 = '城' || (id % " + std::to_string(values) + ")", {}}).ok();
}

void clearExports(const bench::fs::path& home) {
    for (auto& e : bench::fs::directory_iterator(home / bench::fs::path(u8"导出")))
        bench::fs::remove_all(e.path());
}

void ratio(const char* what, double seconds, double floor) {
    std::printf("%-44s %.2f s beside %.2f s: %.2fx\n", what, seconds, floor, seconds / floor);
}

}  // namespace

int main() {
    namespace fs = bench::fs;
    const fs::path home = bench::programFolder(fs::temp_directory_path() / "tabrovin-bench-xlsx");
    if (!bench::fillTable(home, 300000) || !cities(home, 1000)) return 1;

    auto pages = bench::runBatch(
        {"--home", home.string(), "export", "--rows", "100000", "--format", "xlsx"});
    bench::report("xlsx: 3 pages of 100,000 rows", 300000, pages);
    const double floor = deflateSeconds(sheetsOf(home));
    ratio("xlsx pages / deflating their sheets", pages.seconds, floor);
    clearExports(home);
    auto onePage = bench::runBatch(
        {"--home", home.string(), "export", "--rows", "300000", "--format", "xlsx"});
    bench::report("xlsx: 1 page of 300,000 rows", 300000, onePage);
    clearExports(home);

    auto paged = bench::runBatch({"--home", home.string(), "export", "--rows", "300"});
    bench::report("xls: 1,000 pages of 300 rows", 300000, paged);
    clearExports(home);
    auto split = bench::runBatch({"--home", home.string(), "export", "--split-by", "1"});
    bench::report("xls: split into 1,000 values", 300000, split);
    ratio("split / pages", split.seconds, paged.seconds);
    clearExports(home);
    auto splitXlsx =
        bench::runBatch({"--home", home.string(), "export", "--split-by", "1", "--format", "xlsx"});
    bench::report("xlsx: split into 1,000 values", 300000, splitXlsx);
    clearExports(home);

    if (!cities(home, 10000)) return 1;
    auto many = bench::runBatch({"--home", home.string(), "export", "--split-by", "1"});
    bench::report("xls: split into 10,000 values", 300000, many);
    clearExports(home);
    return 0;
}
