#include "processing/delete_keyword_rows.h"

#include "core/undo.h"
#include "processing/row_removal.h"

namespace tabrovin {
namespace {

// Sorts every row of wen by whether `matches` flags it.
Result<RowSplit> splitByMatch(Database& reader, const Statement& matches) {
    auto rows = reader.query(matches);
    if (!rows) return rows.error();
    RowSplit split;
    for (;;) {
        auto more = rows->next();
        if (!more) return more.error();
        if (!*more) break;
        ++split.rows;
        (rows->number(1) != 0 ? split.removed : split.kept).push_back(rows->number(0));
    }
    return split;
}

Result<Statement> condition(const DeleteRequest& request) {
    TextMatch match{{request.keyword}, request.match};
    match.keywords.insert(match.keywords.end(), request.moreKeywords.begin(),
                          request.moreKeywords.end());
    return matchCondition(request.column, match);
}

}  // namespace

Result<DeleteReport> deleteKeywordRows(Workspace& ws, const DeleteRequest& request,
                                       Progress& progress) {
    auto matches = condition(request);
    if (!matches) return matches.error();
    TABROVIN_TRY(checkCancelled(progress, "表中的行没有改变。"));
    auto snapshot = prepareSnapshot(ws, "删除相应的行");
    if (!snapshot) return snapshot.error();
    TABROVIN_TRY(ws.openConn());
    auto split = deleteMatching(ws.conn, *matches);
    if (!split) return split.error();
    // A keyword that matches no row changed nothing: the last undo stays.
    if (!split->removed.empty()) TABROVIN_TRY(snapshot->keep());
    const auto left = static_cast<int32_t>(split->kept.size());
    progress.count(Counter::Rows, left);
    return DeleteReport{left};
}

Result<RowSplit> deleteMatching(Database& db, const Statement& condition) {
    const Statement flags{"select id, " + condition.text + " from [wen] order by id",
                          condition.params};
    return removeRows(db, [&](Database& reader) { return splitByMatch(reader, flags); });
}

Result<int64_t> countKeywordRows(const Workspace& ws, const DeleteRequest& request) {
    auto matches = condition(request);
    if (!matches) return matches.error();
    matches->text = "select count(*) from [wen] where " + matches->text;
    Database reader;
    TABROVIN_TRY(reader.open(ws.paths.workingDb(), Database::Mode::ReadOnly));
    auto n = reader.readOptionalNumber(*matches);
    if (!n) return n.error();
    return n->value_or(0);
}

}  // namespace tabrovin
