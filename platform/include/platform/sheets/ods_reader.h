#pragma once
// Reader for .ods workbooks (OpenDocument spreadsheets). content.xml is
// streamed: once to list the sheets, once per sheet for its size and once per
// readRows. Repeated rows and columns are counted, never expanded, so a sheet
// formatted down to row 1,048,576 costs no more than its data.

#include <filesystem>
#include <memory>

#include "platform/sheets/zip_archive.h"
#include "platform/workbook.h"

namespace tabrovin::sheets {

// Opens the .ods package `zip` (its mimetype already checked); `path` names
// the file in messages. Encrypted packages are err::kEncryptedWorkbook.
Result<std::unique_ptr<Workbook>> openOds(std::unique_ptr<ZipArchive> zip,
                                          const std::filesystem::path& path);

}  // namespace tabrovin::sheets
