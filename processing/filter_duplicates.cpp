#include "processing/filter_duplicates.h"

#include "core/statements.h"
#include "core/undo.h"
#include "processing/dedupe_scan.h"

namespace tabrovin {

Result<DedupeReport> filterDuplicates(Workspace& ws, const DedupeRequest& request,
                                      Progress& progress) {
    if (auto column = statements::columnName(request.column); !column) {
        // The row count shows before a column that names nothing fails the step.
        if (auto rows = ws.countRows()) progress.count(Counter::Rows, *rows);
        return column.error();
    }
    auto snapshot = prepareSnapshot(ws, "过滤重复");
    if (!snapshot) return snapshot.error();
    TABROVIN_TRY(ws.openConn());
    int32_t sincePause = 0;
    auto everyGroup = [&](int64_t groups) -> Status {
        TABROVIN_TRY(checkCancelled(progress, "表中的行没有改变。"));
        if (request.pauseEvery && ++sincePause > *request.pauseEvery) {
            progress.pause();
            progress.count(Counter::Done, groups);
            sincePause = 0;
        }
        return Status::Ok();
    };
    auto rowsFound = [&](int64_t rows) { progress.count(Counter::Rows, rows); };
    auto counts = dedupeScan(ws.conn, request.column, everyGroup, rowsFound);
    if (!counts) return counts.error();
    if (counts->groups < counts->rowsBefore) TABROVIN_TRY(snapshot->keep());
    return DedupeReport{static_cast<int32_t>(counts->rowsBefore),
                        static_cast<int32_t>(counts->groups)};
}

}  // namespace tabrovin
