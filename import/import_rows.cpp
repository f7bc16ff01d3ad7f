#include "import/import_rows.h"

#include <algorithm>

#include "core/column_list.h"
#include "core/statements.h"
#include "core/undo.h"
#include "import/open_workbook.h"
#include "platform/cell_text.h"
#include "platform/workbook.h"

namespace tabrovin {
namespace {

constexpr int kBlockRows = 50;

// Inserts the rows handed over by the reader, keeping the counters and pauses.
class RowInserter {
  public:
    RowInserter(Workspace& ws, PreparedStatement& insert, const ImportRequest& request,
                int32_t lastRow, Progress& progress)
        : ws_(ws), insert_(insert), request_(request), lastRow_(lastRow), progress_(progress) {}

    Status operator()(int32_t row, const std::vector<std::string>& cells) {
        if (progress_.cancelled())
            return Error::cancelled("已导入的 " + std::to_string(inserted_) +
                                    " 行保留在工作数据表中。");
        values_.clear();
        bool any = false;
        for (int pos : request_.positions) {
            bool inRange = pos <= static_cast<int>(cells.size());
            any = any || inRange;
            values_.push_back(inRange ? cell_text::stripNul(cells[pos - 1]) : std::string());
        }
        if (any) {
            TABROVIN_TRY(insert_.run(values_));
            ++inserted_;
            showBlock(row);
        }
        // Rows are committed only before a pause, so that the table is
        // consistent while the user looks at it; without pauses the whole
        // import is one transaction.
        if (request_.pauseEvery && ++counter_ > *request_.pauseEvery) {
            TABROVIN_TRY(commitAndBegin());
            progress_.pause();
            counter_ = 0;
        }
        return Status::Ok();
    }

    int64_t inserted() const { return inserted_; }

  private:
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

    Status commitAndBegin() {
        TABROVIN_TRY(ws_.conn.commit());
        return ws_.conn.begin();
    }

    Workspace& ws_;
    PreparedStatement& insert_;
    const ImportRequest& request_;
    int32_t lastRow_;
    Progress& progress_;
    std::vector<std::string> values_;
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
        return Error::invalidInput("没有勾选要导入的列，请在“选择你要导入的列”中至少勾选一列。");
    return Status::Ok();
}

}  // namespace

Result<ImportReport> importRows(Workspace& ws, const ImportRequest& request, Progress& progress) {
    TABROVIN_TRY(refuseBadRequest(request));
    auto m = openMeasuredSheet(request.workbook, request.sheet);
    if (!m) return m.error();
    ImportReport report{m->dataRows, m->lastColumn - 1, 0};
    progress.count(Counter::Rows, report.dataRows);
    progress.count(Counter::Columns, report.columnsShown);
    progress.count(Counter::Done, 0);
    if (report.dataRows < 1) return sheetWithoutDataRows();
    for (int pos : request.positions)
        if (pos < 1 || pos > m->lastColumn)
            return Error::invalidInput("工作表中没有第 " + std::to_string(pos) + " 列。");
    TABROVIN_TRY(takeSnapshot(ws, "导入"));
    TABROVIN_TRY(ws.openConn());
    auto sql = statements::insertRow(static_cast<int>(request.positions.size()));
    if (!sql) return sql.error();
    auto insert = ws.conn.prepare(*sql);
    if (!insert) return insert.error();
    const int32_t lastRow = report.dataRows + 1;
    RowInserter inserter(ws, *insert, request, lastRow, progress);
    TABROVIN_TRY(ws.conn.begin());
    Status read = m->sheet->readRows(2, lastRow, m->lastColumn, std::ref(inserter));
    // Every row inserted before an error or a cancel stays: commit them, and
    // name them, either way, so later steps never show them under the
    // previous workbook's headings.
    Status committed = ws.conn.commit();
    Status named = inserter.inserted() > 0 || read.ok()
                       ? column_list::save(request.headings, ws.paths.columnList())
                       : Status::Ok();
    TABROVIN_TRY(read);
    TABROVIN_TRY(committed);
    TABROVIN_TRY(named);
    report.inserted = inserter.inserted();
    progress.count(Counter::Done, report.dataRows);
    return report;
}

}  // namespace tabrovin
