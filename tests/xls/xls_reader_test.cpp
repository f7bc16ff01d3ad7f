// Workbooks written by xlwt and LibreOffice, every cell of every sheet
// compared with what it holds.

#include <gtest/gtest.h>

#include "platform/xls/compound_file.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
namespace fs = std::filesystem;
using testutil::Grid;
using Row = std::vector<std::string>;

// Sheets: values of every kind; empty; formatted far beyond its 300 rows of
// data; hidden.
const char* kMakeXlwtBook = R"PY(
import sys, datetime, xlwt
wb = xlwt.Workbook(encoding='utf-8')
fmt = lambda f: xlwt.easyxf(num_format_str=f)
ws = wb.add_sheet('数据')
for r, row in enumerate([['姓名', '电话', '金额', '编号', '备注'],
                         ['张三', 13800138000, 3.0, '007', 'He said "hi"'],
                         ['李四', 0.1, 1234.5, None, '第一行\n第二行'],
                         [None, None, None, True, False],
                         [None, None, None, -42, -0.5]]):
    for c, v in enumerate(row):
        if v is not None: ws.write(r, c, v)
ws.write(3, 0, datetime.date(2024, 3, 5), fmt('yyyy/m/d'))
ws.write(3, 1, datetime.datetime(2024, 3, 5, 14, 30), fmt('yyyy/m/d h:mm'))
ws.write(3, 2, datetime.time(14, 30, 0), fmt('h:mm:ss'))
ws.write(3, 5, 45356, fmt('yyyy"年"m"月"d"日"')); ws.write(4, 5, 45356, fmt('"第"0'))
for c, e in enumerate([0x07, 0x2A, 0x0F, 0x00, 0x17, 0x1D]): ws.row(5).set_cell_error(c, e)
ws.row(4).set_cell_error(0, 0x24)
ws.write(6, 0, ('长文字' + 'abc') * 2000)
wb.add_sheet('空表')
ws = wb.add_sheet('格式')
for r in range(300): ws.write(r, 0, '行%d' % (r + 1)); ws.write(r, 2, r * 1.5)
ws.write(65535, 9, None, xlwt.easyxf('pattern: pattern solid;'))
ws.write(1000, 5, '', xlwt.easyxf('pattern: pattern solid;'))
ws = wb.add_sheet('隐藏')
ws.visibility = 1
ws.write(0, 0, '隐藏的表')
wb.save(sys.argv[1])
)PY";

TEST(XlsReader, XlwtBookGivesEveryValue) {
    testing::TempDir dir;
    fs::path path = dir / "xlwt.xls";
    auto made = testing::runPython(kMakeXlwtBook, testing::shellQuote(path.string()));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    std::string longText;
    for (int i = 0; i < 2000; ++i) longText += "长文字abc";  // crosses CONTINUE records
    std::vector<Grid> want = {
        {{"姓名", "电话", "金额", "编号", "备注", ""},
         {"张三", "13800138000", "3", "007", "He said \"hi\"", ""},
         {"李四", "0.1", "1234.5", "", "第一行\n第二行", ""},
         {"2024/3/5", "2024/3/5 14:30", "14:30:00", "TRUE", "FALSE", "2024/3/5"},
         {"#NUM!", "", "", "-42", "-0.5", "45356"},
         {"#DIV/0!", "#N/A", "#VALUE!", "#NULL!", "#REF!", "#NAME?"},
         {longText, "", "", "", "", ""}},
        {},               // empty
        {},               // formatted to row 65536, filled to row 300
        {{"隐藏的表"}}};  // hidden sheets keep their numbers
    for (int r = 0; r < 300; ++r)
        want[2].push_back(
            {"行" + std::to_string(r + 1), "", std::to_string(r * 3 / 2) + (r % 2 ? ".5" : "")});
    EXPECT_EQ(testutil::readBook(path), want);

    auto opened = openXlsWorkbook(path);
    ASSERT_TRUE(opened.ok());
    for (int n : {0, 5, -1})
        EXPECT_TRUE(testutil::failsWith((*opened)->worksheet(n), err::kSubscript)) << n;
}

// LibreOffice writes formulas with cached results, its own string-table
// layout, and formula text results in STRING records.
const char* kMakeXlsx = R"PY(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.append(['单价', 1234.5, '=B1*2', '=B1/10'])
ws.append(['名称', '苹果', '=B2&"汁"', '=""'])
ws.append(['比较', 3, '=B3>2', '=B3<2'])
ws.append(['除零', 0, '=1/B4', '=NA()'])
ws2 = wb.create_sheet('很多')
for r in range(1, 4001): ws2.append(['第%d个不同的字符串' % r, '=A%d' % r])
wb.save(sys.argv[1])
)PY";

TEST(XlsReader, LibreOfficeFormulasGiveTheirCachedResults) {
    testing::TempDir dir;
    fs::path xlsx = dir / "lo.xlsx";
    auto made = testing::runPython(kMakeXlsx, testing::shellQuote(xlsx.string()));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    fs::path xls = testing::convertWithLibreOffice(xlsx, "xls", dir.path());
    ASSERT_FALSE(xls.empty()) << "LibreOffice could not write the .xls";
    std::vector<Grid> want = {{{"单价", "1234.5", "2469", "123.45"},
                               {"名称", "苹果", "苹果汁", ""},
                               {"比较", "3", "TRUE", "FALSE"},
                               {"除零", "0", "#DIV/0!", "#N/A"}},
                              {}};
    for (int r = 1; r <= 4000; ++r) {
        std::string text = "第" + std::to_string(r) + "个不同的字符串";
        want[1].push_back({text, text});
    }
    EXPECT_EQ(testutil::readBook(xls), want);
}

}  // namespace
}  // namespace tabrovin::xls
