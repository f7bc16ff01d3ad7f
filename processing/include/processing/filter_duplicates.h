#pragma once
#include "core/session.h"

namespace tabrovin {

// Keeps, for every distinct value of the column chosen in Combo1 (rows
// without a value forming one group), only the row with the smallest id, and
// reports the rows left. Pauses every Text5 + 1 groups. Errors are shown with
// the title "删除1出错 # " + number; an error before the final delete leaves
// every row in place, and the buttons are enabled again.
void filterDuplicates(Session& s);

}  // namespace tabrovin
