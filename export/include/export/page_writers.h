#pragma once
// Pages written on threads of their own while the caller reads the next
// ones: the .xls export's pages, and the small files of a split.

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "export/write_export_workbook.h"
#include "platform/handoff.h"

namespace tabrovin {

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
// once, so pages of more than 250,000 cells are written one by one.
inline int writerThreadsFor(int64_t cellsPerPage) {
    const unsigned cores = std::max(std::thread::hardware_concurrency(), 2u);  // 0: unknown
    return cellsPerPage <= 250000 ? static_cast<int>(std::min(cores - 1, 2u)) : 0;
}

}  // namespace tabrovin
