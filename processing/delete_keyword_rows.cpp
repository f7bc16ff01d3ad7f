#include "processing/delete_keyword_rows.h"

#include "core/statements.h"
#include "core/undo.h"

namespace tabrovin {

Result<DeleteReport> deleteKeywordRows(Workspace& ws, const DeleteRequest& request,
                                       Progress& progress) {
    // '%%' would match every row that has a value: almost certainly not meant.
    if (request.keyword.empty())
        return Error::refused(
            "关键字不能为空！请在“相应的例删除包含下面关健字的”中输入要删除的关键字。");
    auto del = statements::deleteContaining(request.column, request.keyword);
    if (!del) return del.error();
    TABROVIN_TRY(checkCancelled(progress, "表中的行没有改变。"));
    TABROVIN_TRY(takeSnapshot(ws, "删除相应的行"));
    TABROVIN_TRY(ws.openConn());
    TABROVIN_TRY(ws.conn.run(*del));
    auto left = ws.countRows();
    if (!left) return left.error();
    progress.count(Counter::Rows, *left);
    return DeleteReport{*left};
}

}  // namespace tabrovin
