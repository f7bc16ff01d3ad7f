#include "platform/read_ahead.h"

#include "platform/handoff.h"

namespace tabrovin {
namespace {

constexpr size_t kBatchRows = 256;
constexpr size_t kBatchesAhead = 4;

struct Row {
    int32_t number = 0;
    std::vector<std::string> cells;
};
using Batch = std::vector<Row>;

// Batches from the reading thread to the storing one.
using Pipe = Handoff<Batch, kBatchesAhead>;

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
    Status read;  // the reader's, read here once it is joined
    auto readRows = [&](Pipe& pipe) {
        Filler filler(pipe);
        read = sheet.readRows(first, last, columns, std::ref(filler));
        // The rows read before a failure are handed over too.
        Status sent = filler.send();
        if (read.ok()) read = std::move(sent);
    };
    Status stored;
    auto store = [&](const Batch& batch) {
        for (const Row& row : batch)
            if (!(stored = sink(row.number, row.cells)).ok()) return false;
        return true;
    };
    if (!runHandedOff<Batch, kBatchesAhead>(readRows, store))
        return sheet.readRows(first, last, columns, sink);  // no thread to be had
    if (!stored.ok()) return stored;
    return read;
}

}  // namespace tabrovin
