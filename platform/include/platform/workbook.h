#pragma once
// Reading workbooks (.xls, .xlsx, .ods, .csv) as rows of cell texts.
// Every cell reaches the caller as UTF-8 text (see cell_text.h for how
// numbers, dates, booleans and errors are rendered); an empty cell is "".
// No text holds a NUL: the readers drop them, as a NUL would end the text
// early wherever it is stored or shown.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"

namespace tabrovin {

// The rows and columns that hold values, counted from row 1 and column A:
// rows = the last row with a value, columns = the last column with a value.
// An empty sheet has rows = columns = 0.
struct SheetSize {
    int32_t rows = 0;
    int32_t columns = 0;
};

// Receives one sheet row: its 1-based number and exactly `columns` texts.
// Returning an error stops the read, which then returns that error.
using RowSink = std::function<Status(int32_t row, const std::vector<std::string>& cells)>;

class Worksheet {
  public:
    virtual ~Worksheet() = default;
    virtual SheetSize size() const = 0;
    // Hands every sheet row from `first` to `last` (1-based, inclusive) to
    // `sink`, in order, each with cells for columns 1..`columns`; rows and
    // cells past the sheet's values come as empty texts. Memory stays bounded
    // by a row, not by the sheet.
    virtual Status readRows(int32_t first, int32_t last, int32_t columns, const RowSink& sink) = 0;
};

class Workbook {
  public:
    virtual ~Workbook() = default;
    virtual int sheetCount() const = 0;
    // Worksheet `number`, counted from 1 in the order the spreadsheet shows
    // them; err::kSubscript when there is no such sheet.
    virtual Result<std::unique_ptr<Worksheet>> worksheet(int number) = 0;
};

// Opens a workbook, choosing the reader by the file's content, not its name.
// Errors: err::kFileNotFound, err::kFileAccess, err::kNotWorkbook,
// err::kDamagedWorkbook, err::kEncryptedWorkbook, err::kUnsupportedWorkbook.
Result<std::unique_ptr<Workbook>> openWorkbookFile(const std::filesystem::path& path);

}  // namespace tabrovin
