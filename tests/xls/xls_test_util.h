#pragma once
// Helpers shared by the .xls reader tests: reading a whole workbook into
// memory, and the same workbook as an independent reader (xlrd) sees it.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/xls/xls_reader.h"
#include "tests/support/test_support.h"

namespace tabrovin::xls::testutil {

using Grid = std::vector<std::vector<std::string>>;

// Every row and column of the sheet's size, as the reader delivers them.
inline Grid readGrid(Worksheet& sheet) {
    Grid grid;
    SheetSize s = sheet.size();
    Status st = sheet.readRows(1, s.rows, s.columns,
                               [&](int32_t row, const std::vector<std::string>& cells) {
                                   EXPECT_EQ(row, static_cast<int32_t>(grid.size()) + 1);
                                   EXPECT_EQ(cells.size(), static_cast<size_t>(s.columns));
                                   grid.push_back(cells);
                                   return Status::Ok();
                               });
    EXPECT_TRUE(st.ok()) << (st.ok() ? "" : st.error().description);
    return grid;
}

inline std::vector<Grid> readBook(const std::filesystem::path& path) {
    std::vector<Grid> out;
    auto book = openXlsWorkbook(path);
    EXPECT_TRUE(book.ok()) << (book.ok() ? "" : book.error().description);
    if (!book) return out;
    for (int n = 1; n <= (*book)->sheetCount(); ++n) {
        auto sheet = (*book)->worksheet(n);
        EXPECT_TRUE(sheet.ok()) << (sheet.ok() ? "" : sheet.error().description);
        out.push_back(sheet ? readGrid(**sheet) : Grid{});
    }
    return out;
}

// The workbook as xlrd reads it, rendered by the same rules the program uses
// (whole numbers without a point, 15 significant digits, dates as y/m/d),
// trimmed to the last row and column that hold a non-empty value.
inline std::vector<Grid> readWithXlrd(const std::filesystem::path& path) {
    static const char* kScript = R"PY(
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=False)
def num(v):
    if v == int(v) and abs(v) < 1e15: return str(int(v))
    return '%.15G' % v
def text(c):
    t = c.ctype
    if t == xlrd.XL_CELL_TEXT: return c.value.replace('\0', '')
    if t == xlrd.XL_CELL_NUMBER: return num(c.value)
    if t == xlrd.XL_CELL_BOOLEAN: return 'TRUE' if c.value else 'FALSE'
    if t == xlrd.XL_CELL_ERROR: return xlrd.error_text_from_code[c.value]
    if t == xlrd.XL_CELL_DATE:
        y, m, d, hh, mm, ss = xlrd.xldate_as_tuple(c.value, book.datemode)
        if (y, m, d) == (0, 0, 0): return '%d:%02d:%02d' % (hh, mm, ss)
        if (hh, mm, ss) == (0, 0, 0): return '%d/%d/%d' % (y, m, d)
        return '%d/%d/%d %d:%02d' % (y, m, d, hh, mm)
    return ''
def esc(s): return s.replace('\\', '\\\\').replace('\n', '\\n').replace('\t', '\\t').replace('\r', '\\r')
for sh in book.sheets():
    print('S')
    for r in range(sh.nrows):
        print('R\t' + '\t'.join(esc(text(c)) for c in sh.row(r)))
)PY";
    auto r = testing::runPython(kScript, testing::shellQuote(path.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<Grid> books;
    size_t at = 0;
    while (at < r.output.size()) {
        size_t end = r.output.find('\n', at);
        if (end == std::string::npos) end = r.output.size();
        std::string line = r.output.substr(at, end - at);
        at = end + 1;
        if (line == "S") {
            books.emplace_back();
        } else if (line.rfind("R", 0) == 0 && !books.empty()) {
            std::vector<std::string> cells;
            std::string cur;
            for (size_t i = 1; i < line.size(); ++i) {
                char c = line[i];
                if (c == '\t') {
                    if (i > 1) cells.push_back(cur);
                    cur.clear();
                } else if (c == '\\' && i + 1 < line.size()) {
                    char n = line[++i];
                    cur += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
                } else {
                    cur += c;
                }
            }
            if (line.size() > 1) cells.push_back(cur);
            books.back().push_back(cells);
        }
    }
    for (Grid& g : books) {
        size_t rows = 0, cols = 0;
        for (size_t r0 = 0; r0 < g.size(); ++r0)
            for (size_t c = 0; c < g[r0].size(); ++c)
                if (!g[r0][c].empty()) rows = r0 + 1, cols = std::max(cols, c + 1);
        g.resize(rows);
        for (auto& row : g) row.resize(cols);
    }
    return books;
}

}  // namespace tabrovin::xls::testutil
