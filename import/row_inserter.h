#pragma once
// Storing the rows a reader hands over into wen, shared by the import of one
// workbook and the append of several: statements of 50 rows, counters,
// pauses, and a commit before every pause.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/progress.h"
#include "core/undo.h"
#include "core/workspace.h"
#include "platform/database.h"

namespace tabrovin {

// What one sheet's rows become: the sheet columns read, in order, then an
// optional text stored in every row; each goes into the wen column of the
// same index in `targets`.
struct RowPlan {
    std::vector<int> positions;  // 1-based sheet columns
    std::optional<std::string> constant;
    std::vector<int> targets;  // positions.size() (+1 with a constant) wen columns
};

class RowInserter {
  public:
    // `names` is the column list saved once rows are stored under it.
    RowInserter(Workspace& ws, Progress& progress, std::optional<int32_t> pauseEvery,
                std::vector<std::string> names);

    // Where a sheet's rows stand in the whole step: the Done counter shows
    // doneBase + the bound of the row's block of 50, and the bar the rows
    // read of `total`, rowsBefore of them in earlier sheets.
    struct Share {
        int64_t doneBase = 0;
        int64_t rowsBefore = 0;
        int64_t total = 0;
    };

    // Readies the statements for the rows of sheet rows first..last. Rows
    // still buffered from the sheet before are stored first.
    Status startSheet(const RowPlan& plan, int32_t first, int32_t last, const Share& share);

    // The reader's sink: buffers the row, stores full statements, pauses.
    Status operator()(int32_t row, const std::vector<std::string>& cells);

    // Stores the buffered rows. They leave the buffer even when the engine
    // refuses them, so that a second flush after an error does not retry.
    Status flush();

    // Rows stored so far, over every sheet.
    int64_t inserted() const { return inserted_; }

    // Saves the column list, once.
    Status name();

    // Ends the step after the reader's `read`: every row handed over before an
    // error or a cancel stays, stored, committed and named, so later steps
    // never show them under the previous workbook's headings; only a table
    // that changed gives the last step's undo away to `snapshot`. The first
    // failure of these, `read`'s first.
    Status finish(const Status& read, PendingSnapshot& snapshot);

  private:
    bool take(const std::vector<std::string>& cells);
    void showBlock(int32_t row);
    Status commitAndBegin();

    Workspace& ws_;
    Progress& progress_;
    std::optional<int32_t> pauseEvery_;
    std::vector<std::string> names_;
    RowPlan plan_;
    std::optional<PreparedStatement> many_, one_;
    int32_t first_ = 2, last_ = 1;
    Share share_;
    size_t width_ = 0;
    std::vector<std::string> buffer_;  // rows of width_ cells
    std::vector<std::string> single_;
    bool named_ = false;
    size_t buffered_ = 0;
    int32_t counter_ = 0;
    int64_t shownBound_ = -1;
    int64_t inserted_ = 0;
};

}  // namespace tabrovin
