// .xlsx and .ods written by other programs: openpyxl directly, and
// LibreOffice's re-saves (which carry cached formula results).

#include <gtest/gtest.h>

#include <memory>

#include "tests/sheets/sheet_test_util.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace {

const char* kMakeWorkbook = R"(
import sys, datetime, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "数据"
ws.append(["姓名", "数", "日期", "布尔", "错误", "公式数", "公式文", "公式布尔", "公式错"])
ws.append(["张三\n换行", 3.5, datetime.datetime(2024, 3, 5, 14, 30), True, "#N/A",
           "=B2*2", '="a"&"b"', "=B2>1", "=1/0"])
ws.append(["007", 13800138000, datetime.date(2024, 3, 5), False, None, "=B2+1", None, None, None])
ws["C4"] = datetime.time(14, 30)
ws["A5"] = 'q"uote'
ws["B5"] = -0.1
ws["C4"].number_format = "hh:mm:ss"
ws2 = wb.create_sheet("第二")
ws2["B2"] = "x"
ws2.cell(row=100000, column=30).fill = openpyxl.styles.PatternFill("solid", fgColor="FF0000")
wb.save(sys.argv[1])
)";

class SpreadsheetValues : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        auto r = runPython(kMakeWorkbook, shellQuote((*dir_ / "book.xlsx").string()));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        std::filesystem::create_directories(*dir_ / "lo");
        ods_ = new std::filesystem::path(
            convertWithLibreOffice(*dir_ / "book.xlsx", "ods", *dir_ / "lo"));
        loXlsx_ = new std::filesystem::path(convertWithLibreOffice(*ods_, "xlsx", *dir_ / "lo"));
    }
    static void TearDownTestSuite() {
        delete ods_;
        delete loXlsx_;
        delete dir_;
    }
    static TempDir* dir_;
    static std::filesystem::path *ods_, *loXlsx_;

    // The values every reader must agree on, whoever wrote the file.
    static void expectCommonValues(const Grid& g) {
        ASSERT_EQ(g.size(), 5u);
        ASSERT_EQ(g[0].size(), 9u);
        EXPECT_EQ(g[0][0], "姓名");
        EXPECT_EQ(g[1][0], "张三\n换行");
        EXPECT_EQ(g[1][1], "3.5");
        EXPECT_EQ(g[1][2], "2024/3/5 14:30");
        EXPECT_EQ(g[1][3], "TRUE");
        EXPECT_EQ(g[2][0], "007");
        EXPECT_EQ(g[2][1], "13800138000");
        EXPECT_EQ(g[2][2], "2024/3/5");
        EXPECT_EQ(g[2][3], "FALSE");
        EXPECT_EQ(g[2][4], "");
        EXPECT_EQ(g[3][2], "14:30:00");
        EXPECT_EQ(g[4][0], "q\"uote");
        EXPECT_EQ(g[4][1], "-0.1");
    }
};
TempDir* SpreadsheetValues::dir_ = nullptr;
std::filesystem::path* SpreadsheetValues::ods_ = nullptr;
std::filesystem::path* SpreadsheetValues::loXlsx_ = nullptr;

TEST_F(SpreadsheetValues, OpenpyxlXlsx) {
    Grid g = readSheet(*dir_ / "book.xlsx");
    expectCommonValues(g);
    // openpyxl stores formulas without results, and "#N/A" typed in as text.
    EXPECT_EQ(g[1][4], "#N/A");
    EXPECT_EQ(g[1][5], "");
    EXPECT_EQ(g[1][6], "");
}

TEST_F(SpreadsheetValues, LibreOfficeXlsxCarriesFormulaResults) {
    ASSERT_FALSE(loXlsx_->empty());
    Grid g = readSheet(*loXlsx_);
    expectCommonValues(g);
    EXPECT_EQ(g[1][4], "#N/A");
    EXPECT_EQ(g[1][5], "7");
    EXPECT_EQ(g[1][6], "ab");
    EXPECT_EQ(g[1][7], "TRUE");
    EXPECT_EQ(g[1][8], "#DIV/0!");
    EXPECT_EQ(g[2][5], "4.5");
}

TEST_F(SpreadsheetValues, LibreOfficeOds) {
    ASSERT_FALSE(ods_->empty());
    Grid g = readSheet(*ods_);
    expectCommonValues(g);
    EXPECT_EQ(g[1][4], "#N/A");
    EXPECT_EQ(g[1][5], "7");
    EXPECT_EQ(g[1][6], "ab");
    EXPECT_EQ(g[1][7], "TRUE");
    EXPECT_EQ(g[1][8], "#DIV/0!");
}

TEST_F(SpreadsheetValues, SheetsInOrderAndFormattingBeyondDataIgnored) {
    for (auto path : {*dir_ / "book.xlsx", *ods_, *loXlsx_}) {
        SCOPED_TRACE(path.string());
        auto book = openWorkbook(path);
        ASSERT_TRUE(book.ok());
        EXPECT_EQ((*book)->sheetCount(), 2);
        EXPECT_EQ((*book)->worksheet(3).error().number, err::kSubscript);
        EXPECT_EQ((*book)->worksheet(0).error().number, err::kSubscript);
        auto second = (*book)->worksheet(2);
        ASSERT_TRUE(second.ok());
        EXPECT_EQ((*second)->size().rows, 2);
        EXPECT_EQ((*second)->size().columns, 2);
        Grid g = readSheet(path, 2);
        ASSERT_EQ(g.size(), 2u);
        EXPECT_EQ(g[1], (std::vector<std::string>{"", "x"}));
    }
}

TEST_F(SpreadsheetValues, HeaderRowAloneStopsEarly) {
    for (auto path : {*dir_ / "book.xlsx", *ods_}) {
        auto book = openWorkbook(path);
        ASSERT_TRUE(book.ok());
        auto sheet = (*book)->worksheet(1);
        ASSERT_TRUE(sheet.ok());
        int calls = 0;
        Status s = (*sheet)->readRows(1, 1, 3, [&](int32_t row, const std::vector<std::string>& c) {
            ++calls;
            EXPECT_EQ(row, 1);
            EXPECT_EQ(c, (std::vector<std::string>{"姓名", "数", "日期"}));
            return Status::Ok();
        });
        EXPECT_TRUE(s.ok());
        EXPECT_EQ(calls, 1);
    }
}

}  // namespace
}  // namespace tabrovin::testing
