#pragma once
// The workbook inside an .xls file's "Workbook" (BIFF8) or "Book" (BIFF5)
// stream, read from memory without the compound-file container.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/workbook.h"

namespace tabrovin::xls {

// Parses the workbook globals of `stream` (kept by the returned workbook),
// read from `file` (named in messages). Worksheets are parsed when taken.
// Excel 3.0 and 4.0 worksheets (one sheet, BIFF3/BIFF4) are read too.
// Errors: err::kUnsupportedWorkbook for BIFF2 and for BIFF3/BIFF4 workbooks
// of several sheets, and for BIFF5 text in a code page this system cannot
// convert, err::kEncryptedWorkbook,
// err::kDamagedWorkbook, err::kNotWorkbook when the stream does not start
// with a BOF record.
Result<std::unique_ptr<Workbook>> parseWorkbookStream(std::vector<uint8_t> stream,
                                                      const std::filesystem::path& file);

}  // namespace tabrovin::xls
