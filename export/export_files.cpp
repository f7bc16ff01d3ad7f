#include "export/export_files.h"

#include <sqlite3.h>

#include <algorithm>

#include "export/page_writers.h"

namespace tabrovin {
namespace {

// Rows go to an .xlsx page this many at a time, so memory stays that of a
// few thousand rows whatever the page's size.
constexpr int64_t kChunkRows = 2048;
// Files up to this many cells are read whole and written on other threads.
constexpr int64_t kWholeFileCells = 250000;

// The rows counted when the run was planned are no longer those read.
Error tableChanged() {
    return Error::database(SQLITE_ABORT, "rows of wen changed while they were exported");
}

class RowReader {
  public:
    RowReader(RowCursor cursor, size_t width) : cursor_(std::move(cursor)), width_(width) {}
    // Appends the next row's cells to `cells`; it must belong to the value
    // whose first id is `first`.
    Status take(int64_t first, std::vector<std::string>& cells) {
        auto more = cursor_.next();
        if (!more) return more.error();
        if (!*more || cursor_.number(0) != first) return tableChanged();
        for (size_t c = 0; c < width_; ++c)
            cells.emplace_back(cursor_.text(static_cast<int>(c) + 2));
        return Status::Ok();
    }

  private:
    RowCursor cursor_;
    size_t width_;
};

// How one file went: `written` is its own outcome; an error of the run
// (reading the rows) is returned instead.
struct FileOutcome {
    Status written;
    bool cancelled = false;
};

Result<FileOutcome> writeXlsx(RowReader& rows, const PlannedFile& f,
                              const ExportWorkbookWriter& writer, std::vector<std::string>& cells,
                              const Progress& progress) {
    auto page = writer.beginXlsx(f.out, f.rows);
    FileOutcome outcome{page ? Status::Ok() : Status(page.error())};
    for (int64_t done = 0; done < f.rows;) {
        if (progress.cancelled()) return FileOutcome{Status::Ok(), true};
        cells.clear();
        const int64_t n = std::min(kChunkRows, f.rows - done);
        for (int64_t i = 0; i < n; ++i) TABROVIN_TRY(rows.take(f.first, cells));
        done += n;
        // The rows of a failed page are still read, so the next starts in place.
        if (outcome.written.ok()) outcome.written = (*page)->add(cells);
    }
    if (outcome.written.ok()) outcome.written = (*page)->finish();
    return outcome;
}

void settle(const PlannedFile& f, int number, const Status& written, ExportReport& report,
            Progress& progress) {
    if (!written.ok()) {
        // An older export's file of this name would pass for this run's;
        // one the user protected stays theirs, and the message says so.
        std::error_code ec;
        if (std::filesystem::is_regular_file(f.out, ec)) {
            const auto perms = std::filesystem::status(f.out, ec).permissions();
            if ((perms & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
                report.protectedPages.push_back(number);
            else
                std::filesystem::remove(f.out, ec);
        }
        report.failedPages.push_back(number);
        progress.partFailed(number, written.error());
    }
    progress.advance(number, report.pages);
}

// Large .xlsx pages, streamed here file after file.
Result<int32_t> streamFiles(RowReader& rows, const std::vector<PlannedFile>& files,
                            const ExportWorkbookWriter& writer, ExportReport& report,
                            Progress& progress) {
    std::vector<std::string> cells;
    for (size_t i = 0; i < files.size(); ++i) {
        if (progress.cancelled()) return static_cast<int32_t>(i);
        auto outcome = writeXlsx(rows, files[i], writer, cells, progress);
        if (!outcome) return outcome.error();
        if (outcome->cancelled) return static_cast<int32_t>(i);
        settle(files[i], static_cast<int>(i) + 1, outcome->written, report, progress);
    }
    return static_cast<int32_t>(files.size());
}

// Files read whole and handed to writer threads, which write them while the
// next are read.
Result<int32_t> handFiles(RowReader& rows, const std::vector<PlannedFile>& files,
                          const ExportWorkbookWriter& writer, int64_t largestCells,
                          ExportReport& report, Progress& progress) {
    PageWriters writers(writer, writerThreadsFor(largestCells));
    auto settleKnown = [&](bool wait) {
        while (auto outcome = writers.next(wait))
            settle(files[static_cast<size_t>(outcome->first) - 1], outcome->first, outcome->second,
                   report, progress);
    };
    Status read;
    bool cancelled = false;
    for (size_t i = 0; i < files.size() && read.ok() && !cancelled; ++i) {
        settleKnown(false);
        if ((cancelled = progress.cancelled())) break;
        PageJob job = writers.spare();
        job.page = static_cast<int32_t>(i) + 1;
        job.out = files[i].out;
        job.cells.clear();
        for (int64_t done = 0; done < files[i].rows && read.ok() && !cancelled; ++done) {
            if (done % kChunkRows == 0 && (cancelled = progress.cancelled())) break;
            read = rows.take(files[i].first, job.cells);
        }
        if (read.ok() && !cancelled) writers.put(std::move(job));
    }
    // The files handed over are written and reported whatever stopped the reading.
    writers.finish();
    settleKnown(true);
    if (!read.ok()) return read.error();
    return writers.handed();
}

}  // namespace

Result<int32_t> writeFiles(Database& db, const Statement& query,
                           const std::vector<PlannedFile>& files,
                           const ExportWorkbookWriter& writer, ExportReport& report,
                           Progress& progress) {
    auto cursor = db.query(query);
    if (!cursor) return cursor.error();
    RowReader rows(std::move(*cursor), writer.width());
    int64_t largest = 0;
    for (const auto& f : files) largest = std::max(largest, f.rows);
    const int64_t largestCells = largest * static_cast<int64_t>(writer.width());
    try {
        // An .xls page is small enough to hold whole; an .xlsx page may not be.
        if (writer.format() == PageFormat::Xlsx && largestCells > kWholeFileCells)
            return streamFiles(rows, files, writer, report, progress);
        return handFiles(rows, files, writer, largestCells, report, progress);
    } catch (const std::bad_alloc&) {
        return Error::workbookWrite(files.empty() ? std::filesystem::path() : files.front().out,
                                    "写出文件所需的内存超出了本机可用的内存");
    }
}

}  // namespace tabrovin
