#pragma once
// Reader for .xlsx workbooks (Office Open XML spreadsheets). Worksheet parts
// are inflated and parsed as a stream, one pass for the size when the sheet
// is opened and one per readRows, so memory is bounded by the shared-string
// table and one row, never by the sheet.

#include <filesystem>
#include <memory>

#include "platform/sheets/zip_archive.h"
#include "platform/workbook.h"

namespace tabrovin::sheets {

// Opens the .xlsx package `zip` (already known to hold xl/workbook.xml);
// `path` names the file in messages. Errors as openWorkbookFile().
Result<std::unique_ptr<Workbook>> openXlsx(std::unique_ptr<ZipArchive> zip,
                                           const std::filesystem::path& path);

}  // namespace tabrovin::sheets
