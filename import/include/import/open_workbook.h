#pragma once
#include <string>

#include "core/session.h"

namespace tabrovin {

// Starts a new import from the workbook at `path` (UTF-8): resets the working
// database from its blank template, lists the header cells of worksheet
// Text4 in List1, all ticked, shows the data-row and column counts (each
// minus one) in Label6 and Label7, and when the sheet has data rows leaves
// only "2. 开始导入" enabled. Errors are shown with the title
// "ZazIV : 导入数据1出错! # " + number; nothing done before them is undone.
void openWorkbook(Session& s, const std::string& path);

// The blank template copied over the working database. The database's
// journal files go too: a stale journal would be rolled into the new copy.
Status resetWorkingDatabase(Session& s);

// The worksheet number typed in Text4: below 1 means 1.
Result<int> worksheetNumber(const WindowPort& window);

}  // namespace tabrovin
