// Workbooks saved by LibreOffice as "MS Excel 97": formulas with cached
// results, its own string-table layout, and dates through its formats.

#include <gtest/gtest.h>

#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
namespace fs = std::filesystem;
using testutil::Grid;

const char* kMakeXlsx = R"PY(
import sys, datetime, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = '公式'
ws['A1'] = '单价'; ws['B1'] = 1234.5; ws['C1'] = '=B1*2'
ws['A2'] = '名称'; ws['B2'] = '苹果'; ws['C2'] = '=B2&"汁"'
ws['A3'] = '比较'; ws['B3'] = 3; ws['C3'] = '=B3>2'
ws['A4'] = '除零'; ws['B4'] = 0; ws['C4'] = '=1/B4'
ws['A5'] = '空'; ws['C5'] = '=""'
ws['A6'] = '日期'; ws['B6'] = datetime.datetime(2024, 3, 5); ws['B6'].number_format = 'yyyy/m/d'
ws['C6'] = datetime.datetime(2024, 3, 5, 14, 30); ws['C6'].number_format = 'yyyy/m/d h:mm'
ws['D6'] = datetime.time(14, 30); ws['D6'].number_format = 'h:mm:ss'
ws['A7'] = '007'; ws['B7'] = 13800138000; ws['C7'] = 0.1; ws['D7'] = '=C7*3'
ws['A8'] = '换行\n第二行'; ws['B8'] = '"引号"'
ws['A9'] = ('很长的文字' + 'xyz') * 1500
ws2 = wb.create_sheet('很多')
for r in range(1, 4001):
    ws2.cell(r, 1, '第%d个不同的字符串' % r); ws2.cell(r, 2, '=A%d' % r)
wb.save(sys.argv[1])
)PY";

class LibreOfficeBook : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new testing::TempDir;
        fs::path xlsx = *dir_ / "lo.xlsx";
        auto r = testing::runPython(kMakeXlsx, testing::shellQuote(xlsx.string()));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        xls_ = new fs::path(testing::convertWithLibreOffice(xlsx, "xls", dir_->path()));
        ASSERT_FALSE(xls_->empty()) << "LibreOffice could not write the .xls";
        book_ = new std::vector<Grid>(testutil::readBook(*xls_));
    }
    static void TearDownTestSuite() {
        delete book_;
        delete xls_;
        delete dir_;
    }
    static testing::TempDir* dir_;
    static fs::path* xls_;
    static std::vector<Grid>* book_;
};
testing::TempDir* LibreOfficeBook::dir_ = nullptr;
fs::path* LibreOfficeBook::xls_ = nullptr;
std::vector<Grid>* LibreOfficeBook::book_ = nullptr;

TEST_F(LibreOfficeBook, FormulasGiveTheirCachedResults) {
    ASSERT_EQ(book_->size(), 2u);
    const Grid& g = (*book_)[0];
    ASSERT_GE(g.size(), 7u);
    EXPECT_EQ(g[0][2], "2469");
    EXPECT_EQ(g[1][2], "苹果汁");
    EXPECT_EQ(g[2][2], "TRUE");
    EXPECT_EQ(g[3][2], "#DIV/0!");
    EXPECT_EQ(g[4][2], "");
    EXPECT_EQ(g[6][3], "0.3");
}

TEST_F(LibreOfficeBook, ValuesDatesAndText) {
    const Grid& g = (*book_)[0];
    ASSERT_EQ(g.size(), 9u);
    ASSERT_EQ(g[0].size(), 4u);
    EXPECT_EQ(g[5], (std::vector<std::string>{"日期", "2024/3/5", "2024/3/5 14:30", "14:30:00"}));
    EXPECT_EQ(g[6], (std::vector<std::string>{"007", "13800138000", "0.1", "0.3"}));
    EXPECT_EQ(g[7][0], "换行\n第二行");
    EXPECT_EQ(g[7][1], "\"引号\"");
    std::string longText;
    for (int i = 0; i < 1500; ++i) longText += "很长的文字xyz";
    EXPECT_EQ(g[8][0], longText);
}

TEST_F(LibreOfficeBook, ManyStringsAndFormulaTextAcrossTheTable) {
    const Grid& g = (*book_)[1];
    ASSERT_EQ(g.size(), 4000u);
    for (int r : {1, 2000, 4000}) {
        std::string want = "第" + std::to_string(r) + "个不同的字符串";
        EXPECT_EQ(g[r - 1][0], want);
        EXPECT_EQ(g[r - 1][1], want);
    }
}

TEST_F(LibreOfficeBook, AgreesWithXlrd) {
    auto theirs = testutil::readWithXlrd(*xls_);
    ASSERT_EQ(theirs.size(), book_->size());
    for (size_t n = 0; n < theirs.size(); ++n)
        EXPECT_EQ((*book_)[n], theirs[n]) << "sheet " << n + 1;
}

}  // namespace
}  // namespace tabrovin::xls
