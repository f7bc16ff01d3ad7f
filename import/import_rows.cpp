#include "import/import_rows.h"

#include <algorithm>

#include "core/column_list.h"
#include "core/statements.h"
#include "core/undo.h"
#include "import/open_workbook.h"
#include "platform/read_ahead.h"
#include "platform/workbook.h"
#include "row_inserter.h"

namespace tabrovin {
namespace {

Status refuseBadRequest(const ImportRequest& r) {
    if (r.positions.size() > statements::kTableColumns)
        return Error::refused("一次最多只能导入 " + std::to_string(statements::kTableColumns) +
                              " 列，现在勾选了 " + std::to_string(r.positions.size()) +
                              " 列。请取消勾选一些列后再开始导入。");
    if (r.positions.empty() || r.positions.size() != r.headings.size())
        return Error::noColumnTicked();
    return Status::Ok();
}

}  // namespace

Result<ImportReport> importRows(Workspace& ws, const ImportRequest& request, Progress& progress) {
    TABROVIN_TRY(refuseBadRequest(request));
    auto opened = openedOrOpen(request.workbook, request.sheet, request.opened);
    if (!opened) return opened.error();
    const auto& m = *opened;
    auto span = rowSpan(m->usedRows, request.layout);
    if (!span) return span.error();
    ImportReport report{span->count(), m->lastColumn - 1, 0};
    progress.count(Counter::Rows, report.dataRows);
    progress.count(Counter::Columns, report.columnsShown);
    progress.count(Counter::Done, 0);
    for (int pos : request.positions)
        if (pos < 1 || pos > m->lastColumn)
            return Error::refused("工作表中没有第 " + std::to_string(pos) + " 列。");
    auto snapshot = prepareSnapshot(ws, "导入");
    if (!snapshot) return snapshot.error();
    TABROVIN_TRY(ws.openConn());
    RowPlan plan{request.positions, std::nullopt, {}};
    for (size_t k = 0; k < request.positions.size(); ++k)
        plan.targets.push_back(static_cast<int>(k));
    RowInserter inserter(ws, progress, request.pauseEvery, request.headings);
    TABROVIN_TRY(inserter.startSheet(plan, span->first, span->last, {0, 0, report.dataRows}));
    TABROVIN_TRY(ws.conn.begin());
    // A sheet with headings only inserts nothing but still names the columns.
    Status read = span->count() < 1 ? Status::Ok()
                                    : readRowsAhead(*m->sheet, span->first, span->last,
                                                    m->lastColumn, std::ref(inserter));
    TABROVIN_TRY(inserter.finish(read, *snapshot));
    report.inserted = inserter.inserted();
    progress.count(Counter::Done, report.dataRows);
    return report;
}

}  // namespace tabrovin
