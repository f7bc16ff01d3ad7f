#pragma once
// Reader for .xls workbooks (BIFF8, and BIFF5 with its code page).

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/workbook.h"

namespace tabrovin::xls {

// Opens an .xls compound file. Errors as openWorkbookFile(); BIFF2 to BIFF4
// files (bare record streams, or such streams inside a container) are
// err::kUnsupportedWorkbook, encrypted ones err::kEncryptedWorkbook.
Result<std::unique_ptr<Workbook>> openXlsWorkbook(const std::filesystem::path& path);

// True when a file's first bytes are a BOF record outside a container: an
// Excel 2.x-4.0 workbook, which openXlsWorkbook names as such.
bool looksLikeBareBiff(std::string_view head);

}  // namespace tabrovin::xls
