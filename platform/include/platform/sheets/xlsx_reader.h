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

// The workbook part of an Office Open XML package, found through the
// package's root relationships ("xl/workbook.xml" when it has none); "" when
// the package holds no spreadsheet (a Word document, say). Errors are
// err::kDamagedWorkbook: the part the package names is missing or broken.
Result<std::string> workbookPart(const ZipArchive& zip);

// Opens the .xlsx package `zip` whose workbook part is `workbookPart`.
// Errors as openWorkbookFile().
Result<std::unique_ptr<Workbook>> openXlsx(std::unique_ptr<ZipArchive> zip,
                                           const std::string& workbookPart);

// The part of worksheet 1 ("xl/worksheets/sheet1.xml"), the sheet openXlsx
// numbers first, of the package `zip` (lent, and back in place on return)
// whose workbook part is `workbookPart`. Errors as openXlsx().
Result<std::string> firstWorksheetPart(std::unique_ptr<ZipArchive>& zip,
                                       const std::string& workbookPart);

}  // namespace tabrovin::sheets
