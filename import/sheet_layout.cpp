#include "import/sheet_layout.h"

#include <algorithm>

namespace tabrovin {

Status checkLayout(const SheetLayout& layout) {
    if (layout.headerRow < 1)
        return Error::refused("标题行应从 1 数起，现在是 " + std::to_string(layout.headerRow) +
                              "。");
    if (layout.skipLast < 0)
        return Error::refused("跳过的末尾行数不能是负数，现在是 " +
                              std::to_string(layout.skipLast) + "。");
    return Status::Ok();
}

Result<RowSpan> rowSpan(int32_t usedRows, const SheetLayout& layout) {
    TABROVIN_TRY(checkLayout(layout));
    // 64-bit: the row after a header row at the top of the range, and a
    // trailing count past the range, must not wrap round.
    const int64_t first = int64_t{layout.headerRow} + 1;
    const int64_t last = std::max<int64_t>(int64_t{usedRows} - layout.skipLast, first - 1);
    if (!layout.isDefault()) {
        if (layout.headerRow > usedRows)
            return Error::refused("标题行 " + std::to_string(layout.headerRow) +
                                  " 超出了工作表的最后一行（工作表共 " + std::to_string(usedRows) +
                                  " 行）。请改小标题行后再选择工作簿。");
        if (last < first)
            return Error::refused("标题行 " + std::to_string(layout.headerRow) + " 之下跳过末尾 " +
                                  std::to_string(layout.skipLast) +
                                  " 行后，没有剩下数据行（工作表共 " + std::to_string(usedRows) +
                                  " 行）。");
    }
    // The default layout's first row is 2, and the sheet has at most
    // INT32_MAX rows, so these fit.
    return RowSpan{layout.headerRow, static_cast<int32_t>(first), static_cast<int32_t>(last)};
}

std::string describeLayout(const SheetLayout& layout) {
    std::string s;
    if (layout.headerRow != 1) s = "标题行 " + std::to_string(layout.headerRow);
    if (layout.skipLast != 0)
        s += (s.empty() ? "" : " · ") + std::string("末尾跳过 ") + std::to_string(layout.skipLast);
    return s;
}

}  // namespace tabrovin
