#include "processing/filter_duplicates.h"

#include "core/statements.h"
#include "core/undo.h"

namespace tabrovin {
namespace {

const char* const kNothingChanged = "表中的行没有改变。";

// Notes the rows to keep, pausing every `pauseEvery` + 1 groups.
Status collectFirstRows(Workspace& ws, const std::vector<int64_t>& ids,
                        std::optional<int32_t> pauseEvery, Progress& progress) {
    for (const auto& st : statements::startKeepList()) TABROVIN_TRY(ws.conn.run(st));
    auto keep = ws.conn.prepare(statements::keepRow());
    if (!keep) return keep.error();
    int32_t processed = 0, batch = 0;
    TABROVIN_TRY(ws.conn.begin());
    for (int64_t id : ids) {
        Status st = checkCancelled(progress, kNothingChanged);
        if (st.ok()) st = keep->run({std::to_string(id)});
        if (!st.ok()) {
            (void)ws.conn.rollback();
            return st;
        }
        ++processed;
        if (pauseEvery && ++batch > *pauseEvery) {
            TABROVIN_TRY(ws.conn.commit());
            progress.pause();
            progress.count(Counter::Done, processed);
            progress.advance(processed, static_cast<int64_t>(ids.size()));
            batch = 0;
            TABROVIN_TRY(ws.conn.begin());
        }
    }
    return ws.conn.commit();
}

// Marking and deleting happen together or not at all.
Status deleteUnkept(Workspace& ws) {
    TABROVIN_TRY(ws.conn.begin());
    Status marked = ws.conn.run(statements::markFromKeepList());
    if (marked.ok()) marked = ws.conn.run(statements::deleteMarked());
    if (!marked.ok()) {
        (void)ws.conn.rollback();
        return marked.error();
    }
    return ws.conn.commit();
}

}  // namespace

Result<DedupeReport> filterDuplicates(Workspace& ws, const DedupeRequest& request,
                                      Progress& progress) {
    auto firstIds = statements::firstIdPerValue(request.column);
    if (!firstIds) return firstIds.error();
    TABROVIN_TRY(takeSnapshot(ws, "过滤重复"));
    TABROVIN_TRY(ws.openConn());
    DedupeReport report;
    auto total = ws.conn.readNumber(statements::countRows());
    if (!total) return total.error();
    report.before = *total;
    progress.count(Counter::Rows, report.before);
    auto ids = ws.conn.readNumbers(*firstIds);
    if (!ids) return ids.error();
    TABROVIN_TRY(collectFirstRows(ws, *ids, request.pauseEvery, progress));
    TABROVIN_TRY(checkCancelled(progress, kNothingChanged));
    TABROVIN_TRY(deleteUnkept(ws));
    (void)ws.conn.run(statements::dropKeepList());
    auto left = ws.conn.readNumber(statements::countRows());
    if (!left) return left.error();
    report.left = *left;
    return report;
}

}  // namespace tabrovin
