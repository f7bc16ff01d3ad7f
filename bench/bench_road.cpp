// The whole road on a 300,000-row x 10-column .xlsx: open, import, filter
// duplicates, delete by keyword and export, each as its own tabrovin-batch
// run without pauses, each beside its floor: the least work that step could
// do (inflating the sheet part with one pass over it; that and a bare insert,
// as the import command chooses the workbook first; the engine's
// one-statement filter or delete; reading every row and writing files of the
// pages' sizes). Then the undo snapshot each step takes, as a share of the
// step, and import and filtering at 10,000, 100,000 and 1,000,000 rows to
// show how they grow.

#include <cstring>

#include "bench/bench_child.h"
#include "bench/bench_support.h"
#include "bench/bench_xlsx.h"
#include "core/paths.h"
#include "platform/sheets/zip_archive.h"

namespace {

namespace fs = bench::fs;
using tabrovin::Database;

struct Step {
    const char* name;
    bench::Measured ours, floor;
};

void print(const Step& s) {
    std::printf("%-8s %7.2f s  peak %6.1f MB   floor %7.2f s   ratio %5.2f%s\n", s.name,
                s.ours.seconds, s.ours.peakMb, s.floor.seconds, s.ours.seconds / s.floor.seconds,
                s.ours.exitCode || s.floor.exitCode ? "  (FAILED)" : "");
}

// Inflating the sheet part with one pass over its bytes (finding each '<'):
// the least a measure of the sheet can do.
bench::Measured inflateFloor(const fs::path& xlsx) {
    return bench::inChild([&] {
        auto zip = tabrovin::sheets::ZipArchive::open(xlsx);
        size_t tags = 0;
        auto pass = [&](std::string_view chunk) {
            for (const char *p = chunk.data(), *e = p + chunk.size();
                 (p = static_cast<const char*>(std::memchr(p, '<', size_t(e - p)))); ++p)
                ++tags;
            return true;
        };
        return zip.ok() && (*zip)->stream("xl/worksheets/sheet1.xml", pass).ok() && tags > 0;
    });
}

// `sql` run on a copy of `db`, so the copy and not the program folder changes.
bench::Measured sqlFloor(const fs::path& db, const fs::path& copy, const std::string& sql) {
    fs::copy_file(db, copy, fs::copy_options::overwrite_existing);
    return bench::inChild([&] {
        Database d;
        return d.open(copy).ok() && d.run({sql, {}}).ok();
    });
}

// Reading every row of the table, through the engine's fastest way to read
// (a mapped, read-only connection): what an export cannot do without.
bool readAll(const fs::path& db) {
    Database d;
    if (!d.open(db, Database::Mode::ReadOnly).ok()) return false;
    auto rows = d.query({"SELECT a0,a1,a2,a3,a4,a5,a6,a7,a8,a9 FROM wen ORDER BY id", {}});
    if (!rows.ok()) return false;
    size_t bytes = 0;
    for (auto more = rows->next(); more.ok() && *more; more = rows->next())
        for (int c = 0; c < 10; ++c) bytes += rows->text(c).size();
    return bytes > 0;
}

// Reading every row, then writing files of the sizes the export wrote into
// `pages`, each beside its final name and renamed into place: the least an
// export can do.
bench::Measured exportFloor(const fs::path& db, const fs::path& pages) {
    std::vector<uintmax_t> sizes;
    for (const auto& f : fs::directory_iterator(pages)) sizes.push_back(f.file_size());
    fs::path out = pages.parent_path() / "floor-pages";
    fs::create_directories(out);
    auto measured = bench::inChild([&] {
        if (!readAll(db)) return false;
        std::vector<char> bytes;
        for (size_t i = 0; i < sizes.size(); ++i) {
            bytes.assign(sizes[i], 'x');
            fs::path page = out / (std::to_string(i) + ".xls"), tmp = page;
            tmp += ".tmp";
            std::FILE* f = std::fopen(tmp.c_str(), "wb");
            if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return false;
            std::fclose(f);
            fs::rename(tmp, page);
        }
        return true;
    });
    fs::remove_all(out);
    return measured;
}

fs::path workbook(const fs::path& work, int rows) {
    fs::path xlsx = work / (std::to_string(rows) + "x10.xlsx");
    if (!fs::exists(xlsx)) bench::writeXlsx(xlsx, rows, rows / 10 * 7);  // 30% duplicates in a0
    return xlsx;
}

void road(const fs::path& work) {
    const int rows = 300000;
    fs::path xlsx = workbook(work, rows), home = bench::programFolder(work / "home");
    fs::path db = tabrovin::ProgramPaths(home).workingDb(), copy = work / "copy.mdb";
    auto batch = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--home", home.string()});
        return bench::runBatch(args);
    };
    std::vector<Step> steps;
    steps.push_back({"open", batch({"open", xlsx.string()}), inflateFloor(xlsx)});
    // The import command chooses the workbook first: its floor is the open's
    // floor plus the bare insert.
    auto insertFloor = bench::inChild([&] { return bench::bareInsert(copy, rows, 50); });
    insertFloor.seconds += steps[0].floor.seconds;
    steps.push_back({"import", batch({"import", xlsx.string()}), insertFloor});
    auto snapshot = bench::inChild([&] { return tabrovin::snapshotDatabase(db, copy).ok(); });
    auto dedupeFloor =
        sqlFloor(db, copy, "DELETE FROM wen WHERE id NOT IN (SELECT min(id) FROM wen GROUP BY a0)");
    steps.push_back({"dedupe", batch({"dedupe", "--column", "0"}), dedupeFloor});
    auto deleteFloor = sqlFloor(db, copy, "DELETE FROM wen WHERE a1 LIKE '%9-1%'");
    steps.push_back(
        {"delete", batch({"delete", "--column", "1", "--keyword", "9-1"}), deleteFloor});
    auto readFloor = bench::inChild([&] { return readAll(db); });
    steps.push_back({"export", batch({"export"}), {}});
    steps.back().floor = exportFloor(db, tabrovin::ProgramPaths(home).exportDir());

    std::printf("whole road, %d rows x 10 columns (import includes its own open):\n", rows);
    double total = 0, totalFloor = 0;
    for (const Step& s : steps) {
        print(s);
        total += s.ours.seconds;
        totalFloor += s.floor.seconds;
    }
    std::printf("%-8s %7.2f s                    floor %7.2f s   ratio %5.2f\n", "total", total,
                totalFloor, total / totalFloor);
    std::printf("export against reading alone (%.2f s): ratio %.2f\n", readFloor.seconds,
                steps[4].ours.seconds / readFloor.seconds);
    std::printf("undo snapshot %.2f s: %.0f%% of import, %.0f%% of dedupe, %.0f%% of delete\n\n",
                snapshot.seconds, 100 * snapshot.seconds / steps[1].ours.seconds,
                100 * snapshot.seconds / steps[2].ours.seconds,
                100 * snapshot.seconds / steps[3].ours.seconds);
}

void scale(const fs::path& work) {
    std::printf("growth (open + import, then filtering a0 with 30%% duplicates):\n");
    for (int rows : {10000, 100000, 1000000}) {
        fs::path xlsx = workbook(work, rows), home = bench::programFolder(work / "scale");
        auto import = bench::runBatch({"--home", home.string(), "import", xlsx.string()});
        auto dedupe = bench::runBatch({"--home", home.string(), "dedupe", "--column", "0"});
        std::printf(
            "%8d rows  import %6.2f s %5.2f us/row peak %6.1f MB   dedupe %6.2f s %5.2f "
            "us/row peak %6.1f MB%s\n",
            rows, import.seconds, 1e6 * import.seconds / rows, import.peakMb, dedupe.seconds,
            1e6 * dedupe.seconds / rows, dedupe.peakMb,
            import.exitCode || dedupe.exitCode ? "  (FAILED)" : "");
    }
}

}  // namespace

int main() {
    auto work = fs::temp_directory_path() / "tabrovin-bench-road";
    fs::create_directories(work);
    road(work);
    scale(work);
    return 0;
}
