#pragma once
// Putting a finished workbook on disk so that the destination is either the
// complete new file or left as it was.

#include <filesystem>
#include <vector>

#include "base/error.h"
#include "platform/xls/compound_file.h"

namespace tabrovin::xls {

// Writes `streams` as a compound file to a temporary file beside `out`, then
// renames it over `out`. Errors: err::kPathNotFound (folder missing),
// err::kFileAccess (read-only or locked destination, or folder not writable),
// err::kWorkbookWrite.
Status writeWorkbookFile(const std::filesystem::path& out, const std::vector<Stream>& streams);

}  // namespace tabrovin::xls
