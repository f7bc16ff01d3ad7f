#include "export/run_export.h"

#include <sqlite3.h>

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "core/statements.h"
#include "export/export_files.h"
#include "export/page_writers.h"
#include "export/split_names.h"
#include "export/write_export_workbook.h"
#include "platform/handoff.h"

namespace tabrovin {
namespace {

// A killed export leaves its half-written pages beside the real ones under
// names like "转换后的3.xls.~123-0.tmp"; only this program writes such names.
void removeLeftoverPages(const std::filesystem::path& folder) {
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = utf8FromPath(it->path().filename());
        const bool page =
            name.find(".xls.~") != std::string::npos || name.find(".xlsx.~") != std::string::npos;
        if (name.rfind("转换后的", 0) == 0 && page && name.ends_with(".tmp")) {
            std::error_code ignored;  // one still open elsewhere stays for the next run
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

Status refuseBadRequest(const ExportRequest& r) {
    if (r.columns.empty()) return Error::refused("没有要导出的列!");
    if (r.format == PageFormat::Xlsx) {
        if (r.rowsPerWorkbook < 1 || r.rowsPerWorkbook > kMaxRowsPerXlsxWorkbook)
            return Error::refused(
                "“每多少个一个excel”必须是 1 到 1048575 之间的整数（一个 .xlsx 工作表最多 "
                "1048576 行，第一行是列名）。");
    } else if (r.rowsPerWorkbook < 1 || r.rowsPerWorkbook > kMaxRowsPerWorkbook) {
        return Error::refused(
            "“每多少个一个excel”必须是 1 到 65535 之间的整数（一个 .xls 工作表最多 "
            "65536 行，第一行是列名）。");
    }
    for (const auto& c : r.columns) TABROVIN_TRY(statements::columnName(c.column).status());
    if (r.split) TABROVIN_TRY(statements::columnName(r.split->column).status());
    return Status::Ok();
}

std::vector<int> columnNumbers(const ExportRequest& r) {
    std::vector<int> numbers;
    for (const auto& c : r.columns) numbers.push_back(c.column);
    return numbers;
}

int64_t filesOf(int64_t rows, int32_t perFile) {
    return rows / perFile + (rows % perFile != 0 ? 1 : 0);
}

Error cancelledKeeping(int32_t written, const std::string& unit, const std::string& folder) {
    return Error::cancelled("已写出的 " + std::to_string(written) + " " + unit + "保留在“" +
                            folder + "”文件夹中。");
}

int writerThreads(const ExportRequest& r) {
    return writerThreadsFor(int64_t{r.rowsPerWorkbook} * static_cast<int64_t>(r.columns.size()));
}

// Reports the pages whose outcome is known, in order; `wait`: all of them.
void reportPages(PageWriters& writers, const Workspace& ws, ExportReport& report,
                 Progress& progress, bool wait) {
    while (auto outcome = writers.next(wait)) {
        const auto& [p, status] = *outcome;
        if (!status.ok()) {
            // An older export's page of this number would pass for this run's;
            // one the user protected stays theirs, and the message says so.
            std::error_code ec;
            const auto out = ws.paths.exportFile(p);
            if (std::filesystem::is_regular_file(out, ec)) {
                const auto perms = std::filesystem::status(out, ec).permissions();
                if ((perms & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
                    report.protectedPages.push_back(p);
                else
                    std::filesystem::remove(out, ec);
            }
            report.failedPages.push_back(p);
            progress.partFailed(p, status.error());
        }
        progress.advance(p, report.pages);
    }
}

// Reads every page in id order and hands it to the writers; false when a
// cancel stopped it first.
Result<bool> readPages(const Workspace& ws, Database& db, const ExportWorkbookWriter& writer,
                       int32_t n, int32_t total, PageWriters& writers, ExportReport& report,
                       Progress& progress) {
    int64_t lower = 0;
    for (int32_t p = 1; p <= report.pages; ++p) {
        reportPages(writers, ws, report, progress, false);
        if (progress.cancelled()) return false;
        const int64_t rows = std::min<int64_t>(int64_t{n} * p, total) - int64_t{n} * (p - 1);
        PageJob job = writers.spare();
        job.page = p;
        job.out = ws.paths.exportFile(p);
        auto last = writer.read(db, lower, rows, job.cells);
        if (last) {
            lower = *last;
            writers.put(std::move(job));
            continue;
        }
        writers.skip(p, last.error());
        // A page that failed to read does not say where the next one
        // starts; the index does. Past the last row, the pages left are empty.
        auto next = db.readOptionalNumber(statements::idAfter(lower, rows));
        if (!next) return next.error();
        lower = next->value_or(std::numeric_limits<int64_t>::max());
    }
    return true;
}

Status writePages(const Workspace& ws, Database& db, const ExportRequest& r, int32_t total,
                  ExportReport& report, Progress& progress) {
    const int32_t n = r.rowsPerWorkbook;
    report.pages = static_cast<int32_t>(filesOf(total, n));
    ExportWorkbookWriter writer(ws.paths, r.columns);
    TABROVIN_TRY(writer.loadTemplate());
    // The first page is the largest: if it fits, every page does.
    TABROVIN_TRY(writer.checkPageRows(std::min(n, total)));
    PageWriters writers(writer, writerThreads(r));
    auto finished = readPages(ws, db, writer, n, total, writers, report, progress);
    // The pages handed over are written and reported whatever stopped the reading.
    writers.finish();
    reportPages(writers, ws, report, progress, true);
    if (!finished) return finished.error();
    if (!*finished)
        return Error::cancelled(
            "已写出的 " +
            std::to_string(writers.handed() - static_cast<int32_t>(report.failedPages.size())) +
            " 页保留在“导出”文件夹中。");
    return Status::Ok();
}

// .xlsx pages are streamed row by row from one pass over the table.
Status writeXlsxPages(const Workspace& ws, Database& db, const ExportRequest& r, int32_t total,
                      ExportReport& report, Progress& progress) {
    ExportWorkbookWriter writer(ws.paths, r.columns, PageFormat::Xlsx);
    TABROVIN_TRY(writer.loadTemplate());
    TABROVIN_TRY(writer.checkPageRows(std::min(r.rowsPerWorkbook, total)));
    report.pages = static_cast<int32_t>(filesOf(total, r.rowsPerWorkbook));
    std::vector<PlannedFile> files;
    for (int32_t p = 1; p <= report.pages; ++p) {
        const int64_t before = int64_t{r.rowsPerWorkbook} * (p - 1);
        files.push_back({ws.paths.exportFile(p, ".xlsx"),
                         std::min<int64_t>(r.rowsPerWorkbook, total - before), 0});
    }
    auto query = statements::allRows(columnNumbers(r));
    if (!query) return query.error();
    auto done = writeFiles(db, *query, files, writer, report, progress);
    if (!done) return done.error();
    const auto failed = static_cast<int32_t>(report.failedPages.size());
    if (*done < report.pages) return cancelledKeeping(*done - failed, "页", "导出");
    return Status::Ok();
}

// The number of distinct values and of files of a split.
Result<std::pair<int64_t, int64_t>> splitCounts(Database& db, const ExportRequest& r) {
    auto query = statements::splitFileCount(r.split->column, r.rowsPerWorkbook);
    if (!query) return query.error();
    auto rows = db.query(*query);
    if (!rows) return rows.error();
    auto row = rows->next();
    if (!row) return row.error();
    if (!*row) return std::pair<int64_t, int64_t>(0, 0);
    return std::pair(rows->number(0), rows->number(1));
}

Status refuseTooManyFiles(int64_t values, int64_t files, const ExportRequest& r) {
    if (files <= r.maxFiles) return Status::Ok();
    return Error::refused("按“" + r.split->name + "”拆分会有 " + std::to_string(values) +
                          " 个不同的值、写出 " + std::to_string(files) + " 个文件，超过了上限 " +
                          std::to_string(r.maxFiles) +
                          " 个，没有写出任何文件。请换一列拆分（批处理命令可用 --max-files "
                          "提高上限）。");
}

// Each value's files, in the order of its first row, under `folder`.
Result<std::vector<PlannedFile>> planSplit(Database& db, const ExportRequest& r,
                                           const std::filesystem::path& folder) {
    auto query = statements::splitValues(r.split->column);
    if (!query) return query.error();
    auto rows = db.query(*query);
    if (!rows) return rows.error();
    const std::string ext = fileExtension(r.format);
    SplitNames names;
    std::vector<PlannedFile> files;
    for (;;) {
        auto row = rows->next();
        if (!row) return row.error();
        if (!*row) return files;
        const bool null = rows->type(0) == SQLITE_NULL;
        const int64_t count = rows->number(1), first = rows->number(2);
        const int64_t pages = filesOf(count, r.rowsPerWorkbook);
        const std::string stem = names.claim(safeFileName(rows->text(0), null), pages);
        for (int64_t p = 1; p <= pages; ++p)
            files.push_back(
                {folder / pathFromUtf8(fileStem(stem, p, pages) + ext),
                 std::min<int64_t>(r.rowsPerWorkbook, count - int64_t{r.rowsPerWorkbook} * (p - 1)),
                 first});
    }
}

std::string nowStamp() {
    std::time_t now = std::time(nullptr);
    char text[32] = {};
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", local);
    return text;
}

// A new folder under 导出 for the run; its name, UTF-8.
Result<std::string> makeSplitFolder(const Workspace& ws, const ExportRequest& r) {
    const std::string base =
        "按" + safeFileName(r.split->name) + "拆分-" + (r.stamp.empty() ? nowStamp() : r.stamp);
    for (int n = 1; n < 1000; ++n) {
        std::string name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
        std::error_code ec;
        if (std::filesystem::create_directory(ws.paths.exportDir() / pathFromUtf8(name), ec))
            return name;
        if (ec)
            return Error::fileAccess(ws.paths.exportDir() / pathFromUtf8(name),
                                     "无法创建这个文件夹（" + ec.message() + "）");
    }
    return Error::fileAccess(ws.paths.exportDir() / pathFromUtf8(base), "同名的文件夹太多");
}

Status writeSplit(const Workspace& ws, Database& db, const ExportRequest& r, int32_t total,
                  ExportReport& report, Progress& progress) {
    auto counts = splitCounts(db, r);
    if (!counts) return counts.error();
    TABROVIN_TRY(refuseTooManyFiles(counts->first, counts->second, r));
    ExportWorkbookWriter writer(ws.paths, r.columns, r.format);
    TABROVIN_TRY(writer.loadTemplate());
    // No file is longer than a page, nor than the table.
    TABROVIN_TRY(writer.checkPageRows(std::min(r.rowsPerWorkbook, total)));
    std::error_code ec;
    if (!std::filesystem::is_directory(ws.paths.exportDir(), ec))
        return Error::folderNotFound(ws.paths.exportDir());
    auto folder = makeSplitFolder(ws, r);
    if (!folder) return folder.error();
    report.folder = *folder;
    auto files = planSplit(db, r, ws.paths.exportDir() / pathFromUtf8(*folder));
    if (!files) return files.error();
    report.pages = static_cast<int32_t>(files->size());
    auto query = statements::splitRows(r.split->column, columnNumbers(r));
    if (!query) return query.error();
    auto done = writeFiles(db, *query, *files, writer, report, progress);
    if (!done) return done.error();
    const auto failed = static_cast<int32_t>(report.failedPages.size());
    if (*done < report.pages) return cancelledKeeping(*done - failed, "个文件", "导出/" + *folder);
    return Status::Ok();
}

}  // namespace

std::string fileExtension(PageFormat format) {
    return format == PageFormat::Xlsx ? ".xlsx" : ".xls";
}

Result<int64_t> countSplitFiles(Workspace& ws, const ExportRequest& request) {
    TABROVIN_TRY(refuseBadRequest(request));
    if (!request.split) return Error::refused("没有选择拆分的列。");
    Database reader;
    TABROVIN_TRY(ws.openReader(reader));
    auto counts = splitCounts(reader, request);
    if (!counts) return counts.error();
    return counts->second;
}

Result<ExportReport> runExport(Workspace& ws, const ExportRequest& request, Progress& progress) {
    TABROVIN_TRY(refuseBadRequest(request));
    // Exporting only reads the table.
    Database reader;
    TABROVIN_TRY(ws.openReader(reader));
    auto total = reader.readNumber(statements::countRows());
    if (!total) return total.error();
    if (*total == 0) return Error::refused("工作数据表中没有数据，没有导出任何文件。");
    removeLeftoverPages(ws.paths.exportDir());
    ExportReport report;
    if (request.split)
        TABROVIN_TRY(writeSplit(ws, reader, request, *total, report, progress));
    else if (request.format == PageFormat::Xlsx)
        TABROVIN_TRY(writeXlsxPages(ws, reader, request, *total, report, progress));
    else
        TABROVIN_TRY(writePages(ws, reader, request, *total, report, progress));
    return report;
}

}  // namespace tabrovin
