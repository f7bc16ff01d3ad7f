// Appending several workbooks and importing wide sheets, by tabrovin-batch
// without pauses. Targets: 10 workbooks of 30,000 x 10 appended in one step
// within 1.2x of one 300,000 x 10 import; a 300,000 x 51 .xlsx imported
// within 1.5x of its floor (a bare insert of the same rows, 50 a statement),
// with peak memory the same at 100,000 and 300,000 rows. The import is the
// step the user starts once the workbook is chosen; tabrovin-batch's import
// also chooses, which measures the sheet in one more pass over its bytes.

#include "bench/bench_child.h"
#include "bench/bench_support.h"
#include "bench/bench_xlsx.h"
#include "core/progress.h"
#include "import/import_rows.h"
#include "import/open_workbook.h"

namespace {

constexpr int kWide = 51;

// A heading row and `rows` rows of `columns` columns, as cellText gives them.
void writeWideXlsx(const bench::fs::path& out, int rows, int columns) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(out.c_str(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    for (int c = 0; c < columns; ++c)
        worksheet_write_string(ws, 0, c, ("列" + std::to_string(c)).c_str(), nullptr);
    for (int r = 1; r <= rows; ++r)
        for (int c = 0; c < columns; ++c) {
            std::string text = bench::cellText(r, c, rows);
            if (c % 2)
                worksheet_write_string(ws, r, c, text.c_str(), nullptr);
            else
                worksheet_write_number(ws, r, c, std::stod(text), nullptr);
        }
    workbook_close(wb);
}

// The floor of a wide import: the same rows straight into a fresh table,
// 50 a statement, in one transaction.
bool bareWideInsert(const bench::fs::path& file, int rows) {
    bench::fs::copy_file(bench::binDir() / "data" / "B.mdb", file,
                         bench::fs::copy_options::overwrite_existing);
    tabrovin::Database db;
    if (!db.open(file).ok()) return false;
    constexpr int kPer = 50;
    auto many = db.prepare(*tabrovin::statements::insertRows(kWide, kPer));
    auto one = db.prepare(*tabrovin::statements::insertRow(kWide));
    if (!many.ok() || !one.ok() || !db.begin().ok()) return false;
    std::vector<std::string> batch, row(kWide);
    int r = 1;
    for (; r + kPer - 1 <= rows; r += kPer) {
        batch.clear();
        for (int i = 0; i < kPer; ++i)
            for (int c = 0; c < kWide; ++c) batch.push_back(bench::cellText(r + i, c, rows));
        if (!many->run(batch).ok()) return false;
    }
    for (; r <= rows; ++r) {
        for (int c = 0; c < kWide; ++c) row[c] = bench::cellText(r, c, rows);
        if (!one->run(row).ok()) return false;
    }
    return db.commit().ok();
}

// Writes `out` in a child, so the writer's memory weighs on no later child.
void writeOnce(const bench::fs::path& out, int rows, int columns) {
    if (bench::fs::exists(out)) return;
    bench::inChild([&] {
        columns == 10 ? bench::writeXlsx(out, rows, rows) : writeWideXlsx(out, rows, columns);
        return true;
    });
}

void appendAgainstOne(const bench::fs::path& work) {
    auto whole = work / "300000x10.xlsx";
    writeOnce(whole, 300000, 10);
    std::vector<std::string> args = {"--home", "", "import"};
    for (int i = 0; i < 10; ++i) {
        auto part = work / ("part" + std::to_string(i) + "-30000x10.xlsx");
        writeOnce(part, 30000, 10);
        args.push_back(part.string());
    }
    args.push_back("--append");
    auto home = bench::programFolder(work / "home");
    auto one = bench::runBatch({"--home", home.string(), "import", whole.string()});
    bench::report("import .xlsx 300,000 x 10", 300000, one);
    home = bench::programFolder(work / "home");
    args[1] = home.string();
    auto ten = bench::runBatch(args);
    bench::report("append 10 .xlsx of 30,000 x 10, one step", 300000, ten);
    std::printf("  append / one import = %.2f (target 1.2)\n", ten.seconds / one.seconds);
    args.push_back("--source-column");
    home = bench::programFolder(work / "home");
    args[1] = home.string();
    auto sourced = bench::runBatch(args);
    bench::report("the same with the source column", 300000, sourced);
}

// The import step alone, as the window runs it after the choice has measured
// the sheet: its wall time in `seconds`.
bool importStepOnly(const bench::fs::path& home, const bench::fs::path& book, double& seconds) {
    tabrovin::Workspace ws{tabrovin::ProgramPaths(home)};
    tabrovin::Progress quiet;
    auto opened = tabrovin::openMeasuredSheet(book, 1);
    if (!opened) return false;
    auto chosen = tabrovin::openWorkbook(ws, {book, 1, *opened}, quiet);
    if (!chosen) return false;
    tabrovin::ImportRequest r{book, 1, {}, chosen->headings, std::nullopt, *opened};
    for (int k = 1; k <= static_cast<int>(chosen->headings.size()); ++k) r.positions.push_back(k);
    auto start = std::chrono::steady_clock::now();
    auto imported = tabrovin::importRows(ws, r, quiet);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return imported.ok();
}

void wideAgainstFloor(const bench::fs::path& work) {
    for (int rows : {100000, 300000}) {
        auto wide = work / (std::to_string(rows) + "x51.xlsx");
        writeOnce(wide, rows, kWide);
        auto home = bench::programFolder(work / "home");
        auto m = bench::runBatch({"--home", home.string(), "import", wide.string()});
        std::string what = "import .xlsx " + std::to_string(rows) + " x 51";
        bench::report(what.c_str(), rows, m);
        home = bench::programFolder(work / "home");
        double stepSeconds = 0;
        const bool stepOk = importStepOnly(home, wide, stepSeconds);
        auto floor = bench::inChild([&] { return bareWideInsert(work / "floor.mdb", rows); });
        std::printf(
            "  floor: bare insert, 50 rows per statement   %6.2f s  peak %6.1f MB  "
            "choice and import / floor = %4.2f%s\n",
            floor.seconds, floor.peakMb, m.seconds / floor.seconds,
            floor.exitCode ? "  (FAILED)" : "");
        // The choice measures the sheet once more; in the window it comes before.
        std::printf(
            "  the import step alone, after the choice     %6.2f s  step / floor = %4.2f "
            "(target 1.5)%s\n",
            stepSeconds, stepSeconds / floor.seconds, stepOk ? "" : "  (FAILED)");
    }
}

}  // namespace

// With "append" or "wide", only that half runs.
int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    auto work = bench::fs::temp_directory_path() / "tabrovin-bench-append";
    bench::fs::create_directories(work);
    if (only != "wide") appendAgainstOne(work);
    if (only != "append") wideAgainstFloor(work);
    return 0;
}
