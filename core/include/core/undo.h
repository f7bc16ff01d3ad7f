#pragma once
// One level of undo for the steps that remove rows or replace the table.
// The snapshot lives in data/ beside the working database, so it survives a
// restart; a new snapshot replaces the old one.

#include <string>
#include <vector>

#include "core/workspace.h"

namespace tabrovin {

// Keeps the working database and the column list as they are now, under the
// name of the step about to change them (e.g. "导入"). Releases `ws.conn`.
// A working database that does not exist yet leaves nothing to keep.
Status takeSnapshot(Workspace& ws, const std::string& step);

struct UndoReport {
    std::string step;                      // the step taken back
    int32_t rows = 0;                      // rows of the restored table
    std::vector<std::string> columnNames;  // the restored column list
};

// True when there is a step to take back.
bool canUndo(const ProgramPaths& paths);

// Puts the snapshot back in place of the working database and the column
// list, then forgets it. Error::refused when there is nothing to undo.
Result<UndoReport> undoLastStep(Workspace& ws);

}  // namespace tabrovin
