#pragma once
// What every reader promises whatever the file holds, checked on each row a
// fuzz target reads: rows in order, each exactly as wide as asked, and every
// cell valid UTF-8 without NULs (a NUL would end the text early in the
// database, which stores the cells as they come).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/encoding.h"
#include "platform/workbook.h"

namespace fuzzing {

inline void check(bool ok) {
    if (!ok) std::abort();
}

// Reads rows 1..`last` of `sheet`, `columns` wide, aborting on a broken
// promise; returns the read's status and sets `read` to the rows handed over.
inline tabrovin::Status readChecked(tabrovin::Worksheet& sheet, int32_t last, int32_t columns,
                                    int32_t& read) {
    read = 0;
    return sheet.readRows(1, last, columns, [&](int32_t row, const auto& cells) {
        check(row == ++read);
        check(cells.size() == static_cast<size_t>(columns));
        for (const std::string& cell : cells)
            check(tabrovin::encoding::isValidUtf8(cell) && cell.find('\0') == std::string::npos);
        return tabrovin::Status::Ok();
    });
}

// Reads the first `most` sheets of `book` as above, each one row and column
// past its values to cover padding; a sparse sheet's empty rows are cheap but
// many, so rows and columns are capped.
inline void readSheets(tabrovin::Workbook& book, int most, int32_t rowCap, int32_t columnCap) {
    const int sheets = std::min(book.sheetCount(), most);
    for (int n = 1; n <= sheets; ++n) {
        auto sheet = book.worksheet(n);
        if (!sheet) continue;
        tabrovin::SheetSize s = (*sheet)->size();
        int32_t read = 0;
        (void)readChecked(**sheet, std::min(s.rows + 1, rowCap), std::min(s.columns + 1, columnCap),
                          read);
    }
    (void)book.worksheet(sheets + 1);
}

}  // namespace fuzzing
