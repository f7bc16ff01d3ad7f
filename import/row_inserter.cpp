#include "row_inserter.h"

#include <algorithm>

#include "core/column_list.h"
#include "core/statements.h"

namespace tabrovin {
namespace {

constexpr int kBlockRows = 50;
// Rows per insert statement: one statement a row spends most of its time in
// the engine's per-statement work; 50 a statement brings the import close to
// a bare insert while staying far below the engine's parameter limit.
constexpr size_t kRowsPerStatement = 50;

}  // namespace

RowInserter::RowInserter(Workspace& ws, Progress& progress, std::optional<int32_t> pauseEvery,
                         std::vector<std::string> names)
    : ws_(ws), progress_(progress), pauseEvery_(pauseEvery), names_(std::move(names)) {}

Status RowInserter::startSheet(const RowPlan& plan, int32_t first, int32_t last,
                               const Share& share) {
    TABROVIN_TRY(flush());
    auto manySql = statements::insertInto(plan.targets, static_cast<int>(kRowsPerStatement));
    if (!manySql) return manySql.error();
    auto oneSql = statements::insertInto(plan.targets, 1);
    if (!oneSql) return oneSql.error();
    auto many = ws_.conn.prepare(*manySql);
    if (!many) return many.error();
    auto one = ws_.conn.prepare(*oneSql);
    if (!one) return one.error();
    many_ = std::move(*many);
    one_ = std::move(*one);
    plan_ = plan;
    first_ = first;
    last_ = last;
    share_ = share;
    shownBound_ = -1;
    width_ = plan.targets.size();
    buffer_.assign(width_ * kRowsPerStatement, std::string());
    return Status::Ok();
}

Status RowInserter::operator()(int32_t row, const std::vector<std::string>& cells) {
    if (progress_.cancelled()) {
        TABROVIN_TRY(flush());
        return Error::cancelled("已导入的 " + std::to_string(inserted_) +
                                " 行保留在工作数据表中。");
    }
    if (take(cells)) {
        if (buffered_ == kRowsPerStatement) TABROVIN_TRY(flush());
        showBlock(row);
    }
    // Rows are committed only before a pause, so that the table is
    // consistent while the user looks at it; without pauses the whole
    // import is one transaction.
    if (pauseEvery_ && ++counter_ > *pauseEvery_) {
        TABROVIN_TRY(flush());
        TABROVIN_TRY(commitAndBegin());
        progress_.pause();
        counter_ = 0;
    }
    return Status::Ok();
}

Status RowInserter::flush() {
    const size_t rows = buffered_;
    buffered_ = 0;
    if (rows == 0) return Status::Ok();
    if (rows == kRowsPerStatement) {
        TABROVIN_TRY(many_->run(buffer_));
        inserted_ += rows;
        return Status::Ok();
    }
    // Counted one by one: rows stored before a refused one stay.
    for (size_t r = 0; r < rows; ++r) {
        single_.assign(buffer_.begin() + r * width_, buffer_.begin() + (r + 1) * width_);
        TABROVIN_TRY(one_->run(single_));
        ++inserted_;
    }
    return Status::Ok();
}

Status RowInserter::finish(const Status& read, PendingSnapshot& snapshot) {
    Status flushed = flush();
    Status committed = ws_.conn.commit();
    const bool changed = inserted() > 0 || read.ok();
    Status named = changed ? name() : Status::Ok();
    Status kept = changed ? snapshot.keep() : Status::Ok();
    for (const Status* s :
         std::initializer_list<const Status*>{&read, &flushed, &committed, &named, &kept})
        if (!s->ok()) return *s;
    return Status::Ok();
}

Status RowInserter::name() {
    if (named_) return Status::Ok();
    TABROVIN_TRY(column_list::save(names_, ws_.paths.columnList()));
    named_ = true;
    return Status::Ok();
}

// Buffers the planned cells of a row; false for a row with none of them.
bool RowInserter::take(const std::vector<std::string>& cells) {
    bool any = false;
    std::string* out = buffer_.data() + buffered_ * width_;
    for (int pos : plan_.positions) {
        bool inRange = pos <= static_cast<int>(cells.size());
        any = any || inRange;
        if (inRange)
            *out++ = cells[pos - 1];
        else
            (out++)->clear();
    }
    if (plan_.constant) *out = *plan_.constant;
    if (any) ++buffered_;
    return any;
}

// The bound of the row's block of 50, as the counter shows it; reported once
// a block.
void RowInserter::showBlock(int32_t row) {
    int32_t block = (row - first_) / kBlockRows;
    int64_t bound =
        std::min<int64_t>(int64_t{kBlockRows} * block + first_ + kBlockRows, int64_t{last_} + 1);
    if (bound == shownBound_) return;
    shownBound_ = bound;
    progress_.count(Counter::Done, share_.doneBase + bound);
    progress_.advance(share_.rowsBefore + row - first_ + 1, share_.total);
}

// Committed rows outlive a kill of the program, so they get their names on
// disk at once: they never show under the previous workbook's headings.
Status RowInserter::commitAndBegin() {
    TABROVIN_TRY(ws_.conn.commit());
    TABROVIN_TRY(name());
    return ws_.conn.begin();
}

}  // namespace tabrovin
