#pragma once
// Everything the .xlsx and .ods readers bound, in one place. A real workbook
// stays far below each limit: Excel's grid of 1,048,576 rows by 16,384
// columns, and a sheet of 1,000,000 rows by 10 columns of distinct texts
// (about 500 MB of sheet XML and as much of shared strings). A file that
// passes one is refused as damaged or too large when the limit is met,
// before it has cost the time or memory it asks for.

#include <cstddef>
#include <cstdint>

namespace tabrovin::sheets {

// The sheet grid.
constexpr int32_t kMaxRows = 1048576;
constexpr int32_t kMaxColumns = 16384;
// A cell holds at most this many characters.
constexpr size_t kMaxCellCharacters = 32767;

// A zip part's inflated size...
constexpr uint64_t kMaxPartBytes = uint64_t(2) << 30;
// ...and, from kRatioCheckedFrom bytes on, its size over the size of the
// whole file. Sheet XML deflates 10 to 20 times; a zip bomb near 1000.
constexpr uint64_t kRatioCheckedFrom = uint64_t(16) << 20;
constexpr uint64_t kMaxCompressionRatio = 250;

// XML: the longest tag (a cell's longest text fully escaped takes a few
// hundred kilobytes), nesting (a few dozen in real parts), attributes of one
// element and namespace declarations in scope.
constexpr size_t kMaxXmlTag = size_t(8) << 20;
constexpr size_t kMaxXmlDepth = 1000;
constexpr size_t kMaxXmlAttributes = 10000;

// What the workbook-wide parts may make a reader hold.
constexpr size_t kMaxSheets = 32767;
constexpr size_t kMaxNameBytes = 1024;  // sheet names (Excel: 31 characters), relation ids
constexpr size_t kMaxRelations = 65536;
constexpr size_t kMaxStyles = 65536;  // cell formats, and number formats (Excel: 64,000)
constexpr size_t kMaxSharedStrings = size_t(1) << 25;
constexpr size_t kMaxSharedStringBytes = size_t(1) << 30;

// The texts of one row handed to the caller, repeated cells included.
constexpr size_t kMaxRowBytes = size_t(64) << 20;

}  // namespace tabrovin::sheets
