#pragma once
// Reader for .xls workbooks (BIFF8, and BIFF5 with its code page).

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/workbook.h"

namespace tabrovin::xls {

// Opens an .xls compound file, or the bare record stream of an Excel 3.0 or
// 4.0 worksheet. Errors as openWorkbookFile(); Excel 2.x files and Excel
// 3.0/4.0 workbooks of several sheets are err::kUnsupportedWorkbook,
// encrypted ones err::kEncryptedWorkbook.
Result<std::unique_ptr<Workbook>> openXlsWorkbook(const std::filesystem::path& path);

// True when a file's first bytes are a BOF record outside a container: an
// Excel 2.x-4.0 file, which openXlsWorkbook reads or names as such.
bool looksLikeBareBiff(std::string_view head);

}  // namespace tabrovin::xls
