#pragma once
// The compound-file container of .xls workbooks, read and written through
// libgsf. A workbook is a set of named streams; the one that matters is
// "Workbook" (BIFF8) or "Book" (BIFF5), the others are carried along.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/error.h"

namespace tabrovin::xls {

struct Stream {
    std::string path;  // storage names joined by '/', e.g. "Workbook" or "\x05SummaryInformation"
    std::vector<uint8_t> data;
};

// Every stream of the file, in the order the container lists them.
// Errors: err::kFileNotFound, err::kFileAccess, err::kNotWorkbook (not a compound
// file), err::kDamagedWorkbook.
Result<std::vector<Stream>> readCompoundFile(const std::filesystem::path& path);

// Writes `streams` as a new compound file at `path`, replacing any file there.
// Nested storages are created from the '/' in stream paths.
Status writeCompoundFile(const std::filesystem::path& path, const std::vector<Stream>& streams);

}  // namespace tabrovin::xls
