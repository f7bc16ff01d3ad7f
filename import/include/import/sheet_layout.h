#pragma once
// Where a worksheet's headings and data rows lie. By default the headings are
// in row 1 and every row below them is data; office sheets often carry title
// rows above the headings and total rows at the bottom, which the user can
// leave out.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"

namespace tabrovin {

struct SheetLayout {
    int32_t headerRow = 1;  // the headings' sheet row; rows above are ignored
    int32_t skipLast = 0;   // rows at the end of the used range left out

    bool isDefault() const { return headerRow == 1 && skipLast == 0; }
    friend bool operator==(const SheetLayout&, const SheetLayout&) = default;
};

// The sheet rows of one import: headings, then data rows first..last.
struct RowSpan {
    int32_t headingRow = 1;
    int32_t first = 2;
    int32_t last = 1;  // below `first` when there is no data row

    int32_t count() const { return last >= first ? last - first + 1 : 0; }
};

// Refuses a header row below 1 or a negative number of trailing rows.
Status checkLayout(const SheetLayout& layout);

// The rows of a sheet whose used range has `usedRows` rows (at least 1). The
// default layout is taken as it always was, even without data rows; any
// other is refused when its header row is past the last row or it leaves no
// data row.
Result<RowSpan> rowSpan(int32_t usedRows, const SheetLayout& layout);

// How the options read in the window's step-one frame, e.g. "标题行 3 · 末尾 2";
// "" for the default layout.
std::string describeLayout(const SheetLayout& layout);

}  // namespace tabrovin
