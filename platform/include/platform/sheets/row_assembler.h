#pragma once
// Turns cells that arrive in document order into the complete rows that
// Worksheet::readRows promises: every row from `first` to `last`, each with
// exactly `columns` texts, gaps filled with empty rows.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/workbook.h"

namespace tabrovin::sheets {

class RowAssembler {
  public:
    // `file` names the workbook in messages.
    RowAssembler(int32_t first, int32_t last, int32_t columns, const RowSink& sink,
                 std::filesystem::path file = {});

    // Starts buffering row `row` (1-based), emitting what came before.
    // False when reading should stop: the row lies past `last`, the sink
    // failed, or rows went backwards (finish() then says so).
    bool startRow(int32_t row);
    // Sets column `column` (1-based) of the buffered row; ignored past
    // `columns`. False, and finish() fails, when `text` is not valid UTF-8
    // or once the row's texts pass kMaxRowBytes (a cell repeated across a
    // row can ask for gigabytes).
    bool set(int32_t column, std::string_view text);
    // Emits the buffered row `times` times (rows row..row+times-1); false
    // when the sink failed or the read is past `last`.
    bool emit(int32_t times = 1);
    // Drops the buffered row (it held no values).
    void discard();
    // Forgets the buffered row and the rows seen, keeping those sent: a read
    // from the start of the sheet again then sends only the rows after them.
    void rewind();
    // Emits the buffered row and empty rows up to `last`; the read's outcome.
    Status finish();
    bool wantsColumn(int32_t column) const { return column <= columns_; }

  private:
    bool emitEmptyUpTo(int32_t row);  // empty rows next_..row-1
    bool send(int32_t row, const std::vector<std::string>& cells);

    int32_t first_, last_, columns_;
    const RowSink& sink_;
    int32_t next_;     // next row number the sink expects
    int32_t row_ = 0;  // buffered row, 0 when none
    int32_t previous_ = 0;
    bool dirty_ = false;
    size_t rowBytes_ = 0;
    std::vector<std::string> cells_, empty_;
    Status status_;
    std::filesystem::path file_;
};

}  // namespace tabrovin::sheets
