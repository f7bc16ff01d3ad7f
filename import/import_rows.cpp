#include "import/import_rows.h"

#include <algorithm>

#include "core/column_list.h"
#include "core/statements.h"
#include "core/undo.h"
#include "import/open_workbook.h"
#include "platform/read_ahead.h"
#include "platform/workbook.h"

namespace tabrovin {
namespace {

constexpr int kBlockRows = 50;
// Rows per insert statement: one statement a row spends most of its time in
// the engine's per-statement work; 50 a statement brings the import close to
// a bare insert while staying far below the engine's parameter limit.
constexpr size_t kRowsPerStatement = 50;

// Inserts the rows handed over by the reader, keeping the counters and pauses.
// Rows wait in a buffer for a full statement; flush() stores the rest.
class RowInserter {
  public:
    RowInserter(Workspace& ws, PreparedStatement& many, PreparedStatement& one,
                const ImportRequest& request, int32_t lastRow, Progress& progress)
        : ws_(ws),
          many_(many),
          one_(one),
          request_(request),
          lastRow_(lastRow),
          progress_(progress),
          width_(request.positions.size()),
          buffer_(width_ * kRowsPerStatement) {}

    Status operator()(int32_t row, const std::vector<std::string>& cells) {
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
        if (request_.pauseEvery && ++counter_ > *request_.pauseEvery) {
            TABROVIN_TRY(flush());
            TABROVIN_TRY(commitAndBegin());
            progress_.pause();
            counter_ = 0;
        }
        return Status::Ok();
    }

    // Stores the buffered rows. They leave the buffer even when the engine
    // refuses them, so that a second flush after an error does not retry.
    Status flush() {
        const size_t rows = buffered_;
        buffered_ = 0;
        if (rows == kRowsPerStatement) {
            TABROVIN_TRY(many_.run(buffer_));
            inserted_ += rows;
            return Status::Ok();
        }
        // Counted one by one: rows stored before a refused one stay.
        for (size_t r = 0; r < rows; ++r) {
            single_.assign(buffer_.begin() + r * width_, buffer_.begin() + (r + 1) * width_);
            TABROVIN_TRY(one_.run(single_));
            ++inserted_;
        }
        return Status::Ok();
    }

    int64_t inserted() const { return inserted_; }

    // Saves the imported columns' names as the column list, once an import.
    Status name() {
        if (named_) return Status::Ok();
        TABROVIN_TRY(column_list::save(request_.headings, ws_.paths.columnList()));
        named_ = true;
        return Status::Ok();
    }

  private:
    // Buffers the ticked cells of a row; false for a row with none of them.
    bool take(const std::vector<std::string>& cells) {
        bool any = false;
        std::string* out = buffer_.data() + buffered_ * width_;
        for (int pos : request_.positions) {
            bool inRange = pos <= static_cast<int>(cells.size());
            any = any || inRange;
            if (inRange)
                *out++ = cells[pos - 1];
            else
                (out++)->clear();
        }
        if (any) ++buffered_;
        return any;
    }

    // The bound of the row's block of 50, as the counter shows it; reported
    // once a block.
    void showBlock(int32_t row) {
        int32_t block = (row - 2) / kBlockRows;
        int32_t bound = std::min(kBlockRows * block + 2 + kBlockRows, lastRow_ + 1);
        if (bound == shownBound_) return;
        shownBound_ = bound;
        progress_.count(Counter::Done, bound);
        progress_.advance(row - 1, lastRow_ - 1);
    }

    // Committed rows outlive a kill of the program, so they get their names
    // on disk at once: they never show under the previous workbook's headings.
    Status commitAndBegin() {
        TABROVIN_TRY(ws_.conn.commit());
        TABROVIN_TRY(name());
        return ws_.conn.begin();
    }

    Workspace& ws_;
    PreparedStatement& many_;
    PreparedStatement& one_;
    const ImportRequest& request_;
    int32_t lastRow_;
    Progress& progress_;
    size_t width_;
    std::vector<std::string> buffer_;  // kRowsPerStatement rows of width_ cells
    std::vector<std::string> single_;
    bool named_ = false;
    size_t buffered_ = 0;
    int32_t counter_ = 0;
    int32_t shownBound_ = -1;
    int64_t inserted_ = 0;
};

Status refuseBadRequest(const ImportRequest& r) {
    if (r.positions.size() > statements::kTableColumns)
        return Error::refused("一次最多只能导入 51 列，现在勾选了 " +
                              std::to_string(r.positions.size()) +
                              " 列。请取消勾选一些列后再开始导入。");
    if (r.positions.empty() || r.positions.size() != r.headings.size())
        return Error::noColumnTicked();
    return Status::Ok();
}

// The statement for a full buffer of rows and the one for a single row.
Result<std::pair<PreparedStatement, PreparedStatement>> prepareInserts(Workspace& ws, int width) {
    auto manySql = statements::insertRows(width, static_cast<int>(kRowsPerStatement));
    if (!manySql) return manySql.error();
    auto oneSql = statements::insertRow(width);
    if (!oneSql) return oneSql.error();
    auto many = ws.conn.prepare(*manySql);
    if (!many) return many.error();
    auto one = ws.conn.prepare(*oneSql);
    if (!one) return one.error();
    return std::make_pair(std::move(*many), std::move(*one));
}

}  // namespace

Result<ImportReport> importRows(Workspace& ws, const ImportRequest& request, Progress& progress) {
    TABROVIN_TRY(refuseBadRequest(request));
    auto opened = openedOrOpen(request.workbook, request.sheet, request.opened);
    if (!opened) return opened.error();
    const auto& m = *opened;
    ImportReport report{m->dataRows, m->lastColumn - 1, 0};
    progress.count(Counter::Rows, report.dataRows);
    progress.count(Counter::Columns, report.columnsShown);
    progress.count(Counter::Done, 0);
    for (int pos : request.positions)
        if (pos < 1 || pos > m->lastColumn)
            return Error::refused("工作表中没有第 " + std::to_string(pos) + " 列。");
    auto snapshot = prepareSnapshot(ws, "导入");
    if (!snapshot) return snapshot.error();
    TABROVIN_TRY(ws.openConn());
    auto inserts = prepareInserts(ws, static_cast<int>(request.positions.size()));
    if (!inserts) return inserts.error();
    const int32_t lastRow = report.dataRows + 1;
    RowInserter inserter(ws, inserts->first, inserts->second, request, lastRow, progress);
    TABROVIN_TRY(ws.conn.begin());
    // A sheet with headings only inserts nothing but still names the columns.
    Status read = lastRow < 2
                      ? Status::Ok()
                      : readRowsAhead(*m->sheet, 2, lastRow, m->lastColumn, std::ref(inserter));
    // Every row handed over before an error or a cancel stays: store and
    // commit them, and name them, either way, so later steps never show them
    // under the previous workbook's headings.
    Status flushed = inserter.flush();
    Status committed = ws.conn.commit();
    const bool changed = inserter.inserted() > 0 || read.ok();
    Status named = changed ? inserter.name() : Status::Ok();
    // Only a table that changed gives the last step's undo away.
    Status kept = changed ? snapshot->keep() : Status::Ok();
    TABROVIN_TRY(read);
    TABROVIN_TRY(flushed);
    TABROVIN_TRY(committed);
    TABROVIN_TRY(named);
    TABROVIN_TRY(kept);
    report.inserted = inserter.inserted();
    progress.count(Counter::Done, report.dataRows);
    return report;
}

}  // namespace tabrovin
