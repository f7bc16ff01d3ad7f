#pragma once
#include "core/session.h"

namespace tabrovin {

// Writes wen into workbooks of Text1 rows each, in id order, as
// 导出/转换后的<page>.xls, each a copy of the blank template with the List3
// headings in row 1; then reports the page count. Rows per workbook must be
// a whole number from 1 to 65535 and the table must hold rows, else nothing is
// written. Errors of the run are shown with the title
// "ZazIV : 导出数据0出错! # " + number, those of one page with
// "ZazIV : 导出数据1出错! # " + number, after which the next page follows.
void runExport(Session& s);

}  // namespace tabrovin
