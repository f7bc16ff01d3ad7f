#include "export/export_files.h"

#include <sqlite3.h>

#include <algorithm>

namespace tabrovin {
namespace {

// Rows go to an .xlsx page this many at a time, so memory stays that of a
// few thousand rows whatever the page's size.
constexpr int64_t kChunkRows = 2048;

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

Result<FileOutcome> writeXls(RowReader& rows, const PlannedFile& f,
                             const ExportWorkbookWriter& writer, std::vector<std::string>& cells,
                             const Progress& progress) {
    cells.clear();
    for (int64_t done = 0; done < f.rows; ++done) {
        if (done % kChunkRows == 0 && progress.cancelled()) return FileOutcome{Status::Ok(), true};
        TABROVIN_TRY(rows.take(f.first, cells));
    }
    return FileOutcome{writer.write(f.out, cells)};
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

}  // namespace

Result<int32_t> writeFiles(Database& db, const Statement& query,
                           const std::vector<PlannedFile>& files,
                           const ExportWorkbookWriter& writer, ExportReport& report,
                           Progress& progress) {
    auto cursor = db.query(query);
    if (!cursor) return cursor.error();
    RowReader rows(std::move(*cursor), writer.width());
    std::vector<std::string> cells;
    for (size_t i = 0; i < files.size(); ++i) {
        if (progress.cancelled()) return static_cast<int32_t>(i);
        const PlannedFile& f = files[i];
        Result<FileOutcome> outcome = FileOutcome{};
        try {
            outcome = writer.format() == PageFormat::Xlsx
                          ? writeXlsx(rows, f, writer, cells, progress)
                          : writeXls(rows, f, writer, cells, progress);
        } catch (const std::bad_alloc&) {
            return Error::workbookWrite(f.out, "写出这个文件所需的内存超出了本机可用的内存");
        }
        if (!outcome) return outcome.error();
        if (outcome->cancelled) return static_cast<int32_t>(i);
        settle(f, static_cast<int>(i) + 1, outcome->written, report, progress);
    }
    return static_cast<int32_t>(files.size());
}

}  // namespace tabrovin
