#pragma once
#include <string>
#include <vector>

#include "core/session.h"

namespace tabrovin {

// Copies the ticked List1 columns of every data row (sheet rows 2 through
// the last row with a value) of worksheet Text4 into wen, the k-th ticked
// column into a<k>, pausing every Text5 + 1 rows; then refills Combo1 with
// the ticked names and shows "导入完成了!". More than 51 ticked columns are
// refused before anything changes. Errors are shown with the title
// "ZazIV : 导入数据2出错! # " + number; the rows inserted before an error
// stay, and the buttons are enabled again.
void importRows(Session& s, const std::string& path);

// The 1-based positions of the ticked List1 entries, in list order.
std::vector<int> tickedPositions(const WindowPort& window);

}  // namespace tabrovin
