#pragma once
// The workbook inside an .xls file's "Workbook" (BIFF8) or "Book" (BIFF5)
// stream, read from memory without the compound-file container.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/workbook.h"

namespace tabrovin::xls {

// Parses the workbook globals of `stream` (kept by the returned workbook).
// Worksheets are parsed when taken. Errors: err::kUnsupportedWorkbook for
// BIFF2-BIFF4, err::kEncryptedWorkbook, err::kDamagedWorkbook,
// err::kNotWorkbook when the stream does not start with a BOF record.
Result<std::unique_ptr<Workbook>> parseWorkbookStream(std::vector<uint8_t> stream);

}  // namespace tabrovin::xls
