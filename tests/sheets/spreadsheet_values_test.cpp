// .xlsx and .ods written by other programs: openpyxl directly, and
// LibreOffice's re-saves (which carry cached formula results).

#include <gtest/gtest.h>

#include "tests/sheets/package_util.h"

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
ws["C4"].number_format = "hh:mm:ss"
ws["A5"] = 'q"uote'
ws["B5"] = -0.1
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
        files_ = {*dir_ / "book.xlsx",
                  convertWithLibreOffice(*dir_ / "book.xlsx", "ods", *dir_ / "lo")};
        files_.push_back(convertWithLibreOffice(files_[1], "xlsx", *dir_ / "lo"));
    }
    static void TearDownTestSuite() { delete dir_; }
    void SetUp() override { ASSERT_EQ(files_.size(), 3u); }

    static inline TempDir* dir_ = nullptr;
    // openpyxl's .xlsx, LibreOffice's .ods of it, and LibreOffice's .xlsx of that.
    static inline std::vector<std::filesystem::path> files_;
};

TEST_F(SpreadsheetValues, EveryWriterGivesTheSameTextsAndSheets) {
    for (size_t f = 0; f < files_.size(); ++f) {
        SCOPED_TRACE(files_[f].string());
        // openpyxl stores formulas without results; LibreOffice's saves carry them.
        auto cached = [&](const char* result) { return f == 0 ? "" : result; };
        EXPECT_EQ(
            readSheet(files_[f]),
            (Grid{{"姓名", "数", "日期", "布尔", "错误", "公式数", "公式文", "公式布尔", "公式错"},
                  {"张三\n换行", "3.5", "2024/3/5 14:30", "TRUE", "#N/A", cached("7"), cached("ab"),
                   cached("TRUE"), cached("#DIV/0!")},
                  {"007", "13800138000", "2024/3/5", "FALSE", "", cached("4.5"), "", "", ""},
                  {"", "", "14:30:00", "", "", "", "", "", ""},
                  {"q\"uote", "-0.1", "", "", "", "", "", "", ""}}));
        auto book = openWorkbookFile(files_[f]);
        EXPECT_EQ(book ? (*book)->sheetCount() : 0, 2);
        // The fill far below and right of B2 is formatting, not data.
        EXPECT_EQ(readSheet(files_[f], 2), (Grid{{"", ""}, {"", "x"}}));
    }
}

// Their worksheets take the quick scan, which reads them as the full parse does.
TEST_F(SpreadsheetValues, TheQuickScanTakesTheseWritersSheets) {
    for (const auto& path : {files_[0], files_[2]})
        for (int number : {1, 2}) EXPECT_TRUE(scanAgrees(path, number)) << path << " " << number;
}

}  // namespace
}  // namespace tabrovin::testing
