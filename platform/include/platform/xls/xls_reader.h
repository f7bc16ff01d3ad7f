#pragma once
// Reader for .xls workbooks (BIFF8, and BIFF5 with its code page).

#include <filesystem>
#include <memory>

#include "platform/workbook.h"

namespace tabrovin::xls {

// Opens an .xls compound file. Errors as openWorkbookFile(); BIFF2 to BIFF4
// files are err::kUnsupportedWorkbook, encrypted ones err::kEncryptedWorkbook.
Result<std::unique_ptr<Workbook>> openXlsWorkbook(const std::filesystem::path& path);

}  // namespace tabrovin::xls
