#pragma once
// What an .xlsx export template is taken apart into, shared by the loader and
// the page writer (and the tests that look inside a template).

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "platform/sheets/xlsx_writer.h"

namespace tabrovin::sheets::xlsx_template {

// Text in which some row numbers move down with the page: each piece is its
// text, then, when `row` is set, that row plus the page's rows.
struct Piece {
    std::string text;
    int64_t row = 0;   // 0: none
    bool end = false;  // the far end of a range: stops at the last row instead of failing
};
using Shiftable = std::vector<Piece>;

// Appends `s` with every moved row `shift` rows further down; err::kTooManyRows
// when a row would start past the sheet's last row.
Status render(const Shiftable& s, int64_t shift, std::string& out);

struct Part {
    std::string name;  // "xl/styles.xml"
    std::string data;
};

struct Cell {
    size_t column = 0;  // 1-based
    std::string xml;    // the whole <c> element as the template has it
    std::string style;  // its s attribute, "" when none
};

}  // namespace tabrovin::sheets::xlsx_template

namespace tabrovin::sheets {

struct XlsxTemplate::Impl {
    std::filesystem::path file;
    std::vector<xlsx_template::Part> parts;  // in package order
    size_t sheet = 0;                        // the first worksheet's index in parts
    // The worksheet: its text up to the dimension's range (or up to
    // sheetData when it has none), then from there up to sheetData.
    std::string head, afterDimension;
    bool hasDimension = false;
    std::string prefix;    // "x:" when the worksheet's elements carry one
    std::string row1Open;  // the template's row 1 start tag, or ""
    std::vector<xlsx_template::Cell> row1;
    xlsx_template::Shiftable below;  // rows 2 on
    xlsx_template::Shiftable tail;   // after sheetData
    int64_t lastRow = 1;             // the last template row below row 1, or 1
    size_t lastColumn = 0;
    std::vector<std::string> columnStyles;  // s of column c at c - 1, "" none
};

namespace xlsx_template {
// Takes the worksheet `xml` apart into `t`; err::kDamagedWorkbook when it
// has no sheetData or its rows do not end.
Status parseSheet(std::string_view xml, XlsxTemplate::Impl& t);
// The columns' letters: 1 -> "A", 27 -> "AA".
std::string columnLetters(size_t column);
}  // namespace xlsx_template

}  // namespace tabrovin::sheets
