// An undo snapshot of the working database before a step that deletes rows:
// a plain file copy against SQLite's backup interface on 300,000 rows x 10
// columns, each set against the duplicate filtering it would protect.

#include <sqlite3.h>

#include "bench/bench_child.h"
#include "bench/bench_fill.h"
#include "bench/bench_support.h"
#include "processing/dedupe_scan.h"

namespace {

namespace fs = bench::fs;
using tabrovin::Database;

// Copies `from` into a new file `to` page by page through the engine, then syncs it.
bool backupCopy(const fs::path& from, const fs::path& to) {
    fs::remove(to);
    Database src;
    sqlite3* dst = nullptr;
    if (!src.open(from).ok() || sqlite3_open(to.c_str(), &dst) != SQLITE_OK) return false;
    sqlite3_exec(dst, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_backup* b = sqlite3_backup_init(dst, "main", src.handle(), "main");
    bool ok = b && sqlite3_backup_step(b, -1) == SQLITE_DONE;
    ok = sqlite3_backup_finish(b) == SQLITE_OK && ok;
    return sqlite3_close(dst) == SQLITE_OK && ok;
}

}  // namespace

int main() {
    auto home = bench::programFolder(fs::temp_directory_path() / "tabrovin-bench-snapshot");
    if (!bench::fillTable(home, 300000)) return 1;
    const fs::path live = home / "data" / "data.mdb", copy = home / "data" / "undo.mdb";
    const fs::path spare = home / "data" / "spare.mdb";
    {
        // 30% duplicates in a0, as in the processing benchmark.
        Database db;
        if (!db.open(live).ok() ||
            !db.run({"UPDATE wen SET a0 = '客户' || (id % 210000)", {}}).ok())
            return 1;
    }
    fs::copy_file(live, spare);

    auto file = bench::inChild([&] { return tabrovin::snapshotDatabase(live, copy).ok(); });
    auto restore = bench::inChild([&] { return tabrovin::restoreDatabase(copy, spare).ok(); });
    auto backup = bench::inChild([&] { return backupCopy(live, copy); });
    auto dedupe = bench::inChild([&] {
        Database db;
        return db.open(live).ok() &&
               dedupeScan(db, 0, [](int64_t) { return tabrovin::Status::Ok(); }).ok();
    });
    std::printf("database of 300,000 rows x 10 columns: %.1f MB\n",
                fs::file_size(spare) / 1048576.0);
    std::printf("%-34s %6.2f s  peak %6.1f MB%s\n", "snapshot by file copy", file.seconds,
                file.peakMb, file.exitCode ? "  (FAILED)" : "");
    std::printf("%-34s %6.2f s  peak %6.1f MB%s\n", "restore by file copy", restore.seconds,
                restore.peakMb, restore.exitCode ? "  (FAILED)" : "");
    std::printf("%-34s %6.2f s  peak %6.1f MB%s\n", "snapshot by backup interface", backup.seconds,
                backup.peakMb, backup.exitCode ? "  (FAILED)" : "");
    std::printf("%-34s %6.2f s  peak %6.1f MB%s\n", "duplicate filtering (30% deleted)",
                dedupe.seconds, dedupe.peakMb, dedupe.exitCode ? "  (FAILED)" : "");
    std::printf("file copy / backup = %.2f, file copy / filtering = %.2f\n",
                file.seconds / backup.seconds, file.seconds / dedupe.seconds);
    return 0;
}
