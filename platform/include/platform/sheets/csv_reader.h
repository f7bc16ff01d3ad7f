#pragma once
// Reader for .csv text (RFC 4180: quoted fields, doubled quotes, line feeds
// inside quotes, CRLF or LF line ends) in UTF-8 with or without a BOM,
// UTF-16 with a BOM, or else GB18030, the superset of GBK that Chinese
// spreadsheet programs write. One sheet; fields are texts exactly as they
// stand, except that NUL characters are dropped wherever they are.

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/workbook.h"

namespace tabrovin::sheets {

// Opens `path` as CSV. The whole file is checked once to choose between
// UTF-8 and GB18030. Errors: err::kFileAccess when it cannot be read. Reading
// the sheet gives err::kDamagedWorkbook for a cell, row or line beyond what
// a sheet holds, and err::kCellConversion naming the row for text that is
// neither UTF-8 nor GB18030.
Result<std::unique_ptr<Workbook>> openCsv(const std::filesystem::path& path);

// What the first bytes of a file say about it as CSV text.
enum class CsvSniff {
    kText,             // for openCsv, which names a line neither UTF-8 nor GB18030
    kUtf16WithoutBom,  // NULs in every other byte
    kBinary,           // not text at all
};

// Judges `head` (the first bytes of a file; `whole` when that is all of it).
// A few NUL bytes are ignored, as openCsv drops them.
CsvSniff sniffCsv(std::string_view head, bool whole);

}  // namespace tabrovin::sheets
