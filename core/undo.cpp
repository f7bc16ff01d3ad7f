#include "core/undo.h"

#include <fstream>
#include <sstream>

#include "core/column_list.h"
#include "core/statements.h"
#include "platform/database.h"

namespace tabrovin {
namespace {

namespace fs = std::filesystem;

}  // namespace

Status takeSnapshot(Workspace& ws, const std::string& step) {
    const ProgramPaths& p = ws.paths;
    ws.conn.release();
    std::error_code ec;
    if (!fs::is_regular_file(p.workingDb(), ec)) return Status::Ok();
    // The step name goes before the old copy and comes back last: a snapshot
    // without it is unusable, so a crash in between can never offer a
    // half-taken one. A copy that fails leaves the last step's undo as it was.
    TABROVIN_TRY(
        snapshotDatabase(p.workingDb(), p.undoDb(), [&] { fs::remove(p.undoStep(), ec); }));
    TABROVIN_TRY(column_list::save(column_list::load(p.columnList()), p.undoColumnList()));
    return replaceFileText(p.undoStep(), step);
}

bool canUndo(const ProgramPaths& p) {
    std::error_code ec;
    return fs::is_regular_file(p.undoStep(), ec) && fs::is_regular_file(p.undoDb(), ec);
}

Result<UndoReport> undoLastStep(Workspace& ws) {
    const ProgramPaths& p = ws.paths;
    if (!canUndo(p)) return Error::refused("没有可以撤销的操作。");
    UndoReport report;
    std::ifstream in(p.undoStep(), std::ios::binary);
    std::getline(in, report.step);
    ws.conn.release();
    TABROVIN_TRY(checkSnapshot(p.undoDb()));
    TABROVIN_TRY(restoreDatabase(p.undoDb(), p.workingDb()));
    report.columnNames = column_list::load(p.undoColumnList());
    TABROVIN_TRY(column_list::save(report.columnNames, p.columnList()));
    std::error_code ec;
    fs::remove(p.undoStep(), ec);
    TABROVIN_TRY(ws.openConn());
    auto rows = ws.countRows();
    if (!rows) return rows.error();
    report.rows = *rows;
    return report;
}

}  // namespace tabrovin
