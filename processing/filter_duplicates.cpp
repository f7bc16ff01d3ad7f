#include "processing/filter_duplicates.h"

#include "core/statements.h"
#include "core/undo.h"
#include "processing/dedupe_scan.h"

namespace tabrovin {
namespace {

DedupeKey keyOf(const DedupeRequest& request) {
    DedupeKey key{{request.column}, request.trim, request.width};
    key.columns.insert(key.columns.end(), request.moreColumns.begin(), request.moreColumns.end());
    return key;
}

}  // namespace

Result<DedupeReport> filterDuplicates(Workspace& ws, const DedupeRequest& request,
                                      Progress& progress) {
    const DedupeKey key = keyOf(request);
    for (int k : key.columns) {
        if (auto column = statements::columnName(k); !column) {
            // The row count shows before a column that names nothing fails the step.
            if (auto rows = ws.countRows()) progress.count(Counter::Rows, *rows);
            return column.error();
        }
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
    auto counts = dedupeScan(ws.conn, key, everyGroup, rowsFound);
    if (!counts) return counts.error();
    if (counts->groups < counts->rowsBefore) TABROVIN_TRY(snapshot->keep());
    return DedupeReport{static_cast<int32_t>(counts->rowsBefore),
                        static_cast<int32_t>(counts->groups)};
}

Result<int64_t> countDuplicateRows(const Workspace& ws, const DedupeRequest& request) {
    Database reader;
    TABROVIN_TRY(reader.open(ws.paths.workingDb(), Database::Mode::ReadOnly));
    return countDuplicates(reader, keyOf(request));
}

}  // namespace tabrovin
