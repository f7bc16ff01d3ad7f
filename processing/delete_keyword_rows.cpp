#include "processing/delete_keyword_rows.h"

#include "core/statements.h"
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

}  // namespace

Result<DeleteReport> deleteKeywordRows(Workspace& ws, const DeleteRequest& request,
                                       Progress& progress) {
    // '%%' would match every row that has a value: almost certainly not meant.
    if (request.keyword.empty())
        return Error::refused(
            "关键字不能为空！请在“相应的例删除包含下面关健字的”中输入要删除的关键字。");
    auto matches = statements::keywordMatches(request.column, request.keyword);
    if (!matches) return matches.error();
    TABROVIN_TRY(checkCancelled(progress, "表中的行没有改变。"));
    auto snapshot = prepareSnapshot(ws, "删除相应的行");
    if (!snapshot) return snapshot.error();
    TABROVIN_TRY(ws.openConn());
    auto split =
        removeRows(ws.conn, [&](Database& reader) { return splitByMatch(reader, *matches); });
    if (!split) return split.error();
    // A keyword that matches no row changed nothing: the last undo stays.
    if (!split->removed.empty()) TABROVIN_TRY(snapshot->keep());
    const auto left = static_cast<int32_t>(split->kept.size());
    progress.count(Counter::Rows, left);
    return DeleteReport{left};
}

}  // namespace tabrovin
