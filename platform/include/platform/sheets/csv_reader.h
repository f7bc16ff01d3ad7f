#pragma once
// Reader for .csv text (RFC 4180: quoted fields, doubled quotes, line feeds
// inside quotes, CRLF or LF line ends) in UTF-8 with or without a BOM, or
// else GBK. One sheet; fields are texts exactly as they stand.

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/workbook.h"

namespace tabrovin::sheets {

// Opens `path` as CSV. The whole file is checked once to choose between
// UTF-8 and GBK. Errors: err::kFileAccess when it cannot be read.
Result<std::unique_ptr<Workbook>> openCsv(const std::filesystem::path& path);

// True when `head` (the first bytes of a file; `whole` when that is all of
// it) looks like CSV text: no NUL bytes, and valid UTF-8 or GBK.
bool looksLikeCsv(std::string_view head, bool whole);

}  // namespace tabrovin::sheets
