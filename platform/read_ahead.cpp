#include "platform/read_ahead.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace tabrovin {
namespace {

constexpr size_t kBatchRows = 256;
constexpr size_t kBatchesAhead = 4;

struct Row {
    int32_t number = 0;
    std::vector<std::string> cells;
};
using Batch = std::vector<Row>;

// Batches from the reading thread to the storing one, at most kBatchesAhead
// waiting; spent batches go back so their strings keep their memory.
class Pipe {
  public:
    // Reader side: false once the consumer stopped.
    bool put(Batch&& batch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || full_.size() < kBatchesAhead; });
        if (stopped_) return false;
        full_.push_back(std::move(batch));
        changed_.notify_all();
        return true;
    }
    Batch spare() {
        std::lock_guard lock(mutex_);
        if (spare_.empty()) return {};
        Batch b = std::move(spare_.back());
        spare_.pop_back();
        return b;
    }
    void finish(Status read) {
        std::lock_guard lock(mutex_);
        read_ = std::move(read);
        finished_ = true;
        changed_.notify_all();
    }
    // Consumer side: false when the reader has finished and all is taken.
    bool take(Batch& batch) {
        std::unique_lock lock(mutex_);
        if (!batch.empty()) spare_.push_back(std::move(batch));
        batch.clear();
        changed_.wait(lock, [&] { return finished_ || !full_.empty(); });
        if (full_.empty()) return false;
        batch = std::move(full_.front());
        full_.pop_front();
        changed_.notify_all();
        return true;
    }
    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }
    Status readStatus() {
        std::lock_guard lock(mutex_);
        return read_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> full_;
    std::vector<Batch> spare_;
    bool stopped_ = false, finished_ = false;
    Status read_;
};

// The reading thread's sink: fills a batch, reusing a spent one's strings.
class Filler {
  public:
    explicit Filler(Pipe& pipe) : pipe_(pipe) {}
    Status operator()(int32_t row, const std::vector<std::string>& cells) {
        if (used_ == batch_.size()) batch_.emplace_back();
        Row& r = batch_[used_++];
        r.number = row;
        r.cells.assign(cells.begin(), cells.end());
        if (used_ == kBatchRows) return send();
        return Status::Ok();
    }
    Status send() {
        if (used_ == 0) return Status::Ok();
        batch_.resize(used_);
        used_ = 0;
        // The consumer refused a row; its error is the one to return.
        if (!pipe_.put(std::move(batch_))) return Error::cancelled("");
        batch_ = pipe_.spare();
        return Status::Ok();
    }

  private:
    Pipe& pipe_;
    Batch batch_;
    size_t used_ = 0;
};

}  // namespace

Status readRowsAhead(Worksheet& sheet, int32_t first, int32_t last, int32_t columns,
                     const RowSink& sink) {
    Pipe pipe;
    std::exception_ptr thrown;  // rethrown here, as if the read ran on this thread
    std::thread reader([&] {
        Status read;
        try {
            Filler filler(pipe);
            read = sheet.readRows(first, last, columns, std::ref(filler));
            // The rows read before a failure are handed over too.
            Status sent = filler.send();
            if (read.ok()) read = std::move(sent);
        } catch (...) {
            thrown = std::current_exception();
            read = Error::cancelled("");
        }
        pipe.finish(std::move(read));
    });
    // The reader must be stopped and joined however this thread leaves.
    struct Joiner {
        Pipe& pipe;
        std::thread& reader;
        ~Joiner() {
            pipe.stop();
            reader.join();
        }
    };
    Status stored;
    {
        Joiner joiner{pipe, reader};
        Batch batch;
        while (stored.ok() && pipe.take(batch))
            for (const Row& row : batch)
                if (!(stored = sink(row.number, row.cells)).ok()) break;
    }
    if (thrown) std::rethrow_exception(thrown);
    if (!stored.ok()) return stored;
    return pipe.readStatus();
}

}  // namespace tabrovin
