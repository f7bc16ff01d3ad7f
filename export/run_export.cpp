#include "export/run_export.h"

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "core/statements.h"
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
        if (name.rfind("转换后的", 0) == 0 && name.find(".xls.~") != std::string::npos &&
            name.ends_with(".tmp")) {
            std::error_code ignored;  // one still open elsewhere stays for the next run
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

Status refuseBadRequest(const ExportRequest& r) {
    if (r.columns.empty()) return Error::refused("没有要导出的列!");
    if (r.rowsPerWorkbook < 1 || r.rowsPerWorkbook > kMaxRowsPerWorkbook)
        return Error::refused(
            "“每多少个一个excel”必须是 1 到 65535 之间的整数（一个 .xls 工作表最多 "
            "65536 行，第一行是列名）。");
    for (const auto& c : r.columns) TABROVIN_TRY(statements::columnName(c.column).status());
    return Status::Ok();
}

// A page read and waiting to be written.
struct PageJob {
    int32_t page = 0;
    std::filesystem::path out;
    std::vector<std::string> cells;
};

// Writes pages on threads of their own while the caller reads the next ones.
// Outcomes come back in page order. Without threads, put() writes the page
// itself.
class PageWriters {
  public:
    PageWriters(const ExportWorkbookWriter& writer, int threads) : writer_(writer) {
        // No thread to be had, or no memory for one: fewer, or none, will do.
        try {
            for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { run(); });
        } catch (...) {
        }
    }
    ~PageWriters() { finish(); }
    PageWriters(const PageWriters&) = delete;
    PageWriters& operator=(const PageWriters&) = delete;

    // A spent job, whose buffers keep their memory for the next page: a
    // fresh buffer of a page's cells costs more in the system's page faults
    // than reading them.
    PageJob spare() { return threads_.empty() ? std::move(written_) : jobs_.spare(); }
    void put(PageJob&& job) {
        ++handed_;
        if (threads_.empty()) {
            settle(job.page, writeOne(job));
            written_ = std::move(job);
        } else {
            jobs_.put(std::move(job));
        }
    }
    // Counts a page that could not be read, with why, as handed over.
    void skip(int32_t page, Status status) {
        ++handed_;
        settle(page, std::move(status));
    }
    // The next page's outcome, in page order, once known; `wait` waits for
    // it. Nothing once every page handed over was reported.
    std::optional<std::pair<int32_t, Status>> next(bool wait) {
        std::unique_lock lock(mutex_);
        if (next_ > handed_) return std::nullopt;
        if (wait) settled_.wait(lock, [&] { return done_.count(next_) > 0; });
        auto it = done_.find(next_);
        if (it == done_.end()) return std::nullopt;
        std::pair<int32_t, Status> outcome(it->first, std::move(it->second));
        done_.erase(it);
        ++next_;
        return outcome;
    }
    int32_t handed() const { return handed_; }
    // No more pages: the writers finish those they have, then stop.
    void finish() {
        jobs_.finish();
        for (auto& t : threads_) t.join();
        threads_.clear();
    }

  private:
    void settle(int32_t page, Status status) {
        std::lock_guard lock(mutex_);
        done_.emplace(page, std::move(status));
        settled_.notify_all();
    }
    void run() {
        for (PageJob job; jobs_.take(job);) settle(job.page, writeOne(job));
    }
    Status writeOne(const PageJob& job) {
        // Nothing may leave a writer's thread as an exception: it would end
        // the program.
        try {
            return writer_.write(job.out, job.cells);
        } catch (const std::bad_alloc&) {
            return Error::workbookWrite(job.out, "写出这一页所需的内存超出了本机可用的内存");
        } catch (const std::exception& e) {
            return Error::workbookWrite(job.out,
                                        std::string("写出这一页时出错（") + e.what() + "）");
        }
    }

    const ExportWorkbookWriter& writer_;
    Handoff<PageJob, 1> jobs_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable settled_;
    std::map<int32_t, Status> done_;
    PageJob written_;  // without threads, the last page written
    int32_t handed_ = 0, next_ = 1;
};

// Writers on the cores the reading thread leaves, at most two: building a
// page takes about as long as reading it, and a writer more than there are
// cores only takes the reader's core from it (on two cores, one writer
// exports a fifth faster than two). Up to four pages are then in memory at
// once, so large pages are written one by one.
int writerThreads(const ExportRequest& r) {
    const int64_t cells = int64_t{r.rowsPerWorkbook} * static_cast<int64_t>(r.columns.size());
    const unsigned cores = std::max(std::thread::hardware_concurrency(), 2u);  // 0: unknown
    return cells <= 250000 ? static_cast<int>(std::min(cores - 1, 2u)) : 0;
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
    report.pages = total / n + (total % n != 0 ? 1 : 0);
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

}  // namespace

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
    TABROVIN_TRY(writePages(ws, reader, request, *total, report, progress));
    return report;
}

}  // namespace tabrovin
