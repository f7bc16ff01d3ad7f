#pragma once
// One level of undo for the steps that remove rows or replace the table.
// The snapshot lives in data/ beside the working database, so it survives a
// restart; a new snapshot replaces the old one.

#include <string>
#include <vector>

#include "core/workspace.h"

namespace tabrovin {

// The working database and column list as they were before a step, copied
// aside but not yet the undo: the last step's undo stays until keep(), which
// the step calls once it changed the table. A step that is refused, fails or
// is cancelled before its change, or changes nothing, so never costs the
// user the last step's undo. Dropped unkept, the copy is removed.
class PendingSnapshot {
  public:
    PendingSnapshot(PendingSnapshot&& o) noexcept;
    PendingSnapshot& operator=(PendingSnapshot&&) = delete;
    ~PendingSnapshot();

    // Makes the copy the undo, under the step's name. Does nothing when
    // there was nothing to copy or the last undo was kept on purpose.
    Status keep();

  private:
    friend Result<PendingSnapshot> prepareSnapshot(Workspace& ws, const std::string& step);
    PendingSnapshot(ProgramPaths paths, std::string step, bool copied)
        : paths_(std::move(paths)), step_(std::move(step)), copied_(copied) {}
    ProgramPaths paths_;
    std::string step_;
    bool copied_ = false;
};

// Copies the working database and the column list aside under the name of
// the step about to change them (e.g. "导入"). Releases `ws.conn`. Nothing is
// copied when the working database does not exist yet, or when it is still
// the blank table a workbook choice left: the choice's undo, which gives
// back the table from before it, then stays.
Result<PendingSnapshot> prepareSnapshot(Workspace& ws, const std::string& step);

// prepareSnapshot() and keep() at once, for a step that is sure to change.
Status takeSnapshot(Workspace& ws, const std::string& step);

struct UndoReport {
    std::string step;                      // the step taken back
    int32_t rows = 0;                      // rows of the restored table
    std::vector<std::string> columnNames;  // the restored column list
};

// True when there is a step to take back.
bool canUndo(const ProgramPaths& paths);

// The name a workbook choice gives its undo.
extern const char* const kChoiceStep;

// Puts the snapshot back in place of the working database and the column
// list, then forgets it. Error::refused when there is nothing to undo; a
// snapshot that is no working database (damaged, without wen or its
// columns) is refused before anything is replaced.
Result<UndoReport> undoLastStep(Workspace& ws);

}  // namespace tabrovin
