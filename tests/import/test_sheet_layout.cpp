// Headings below title rows and total rows left out: the same rows on every
// format, refusals before the table is reset, and the plain layout untouched.
#include <limits>

#include "import/import_rows.h"
#include "import/open_workbook.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
using Names = std::vector<std::string>;
using Sheet = std::vector<std::vector<std::string>>;

namespace {

// A report as government offices send them: a title, a blank row, headings
// in row 3, three data rows and a total.
const Sheet kReport = {
    {"某部门 2026 年报表"}, {}, {"姓名", "金额"}, {"张三", "10"}, {"李四", "20"}, {"王五", "30"},
    {"合计", "60"}};

class SheetLayoutImport : public WorkspaceTest {
  protected:
    Result<OpenReport> open(const std::filesystem::path& book, SheetLayout layout,
                            bool append = false) {
        return openWorkbook(ws, {book, 1, nullptr, layout, append}, progress);
    }
};

}  // namespace

TEST(RowSpan, TheDefaultIsNeverRefusedAndOtherLayoutsMustLeaveDataRows) {
    EXPECT_EQ(rowSpan(1, {})->count(), 0);  // headings only: no rows, as always, but no refusal
    auto span = rowSpan(7, {3, 1});
    ASSERT_TRUE(span.ok());
    EXPECT_EQ(std::tuple(span->headingRow, span->first, span->last), std::tuple(3, 4, 6));
    EXPECT_TRUE(rowSpan(7, {6, 0}).ok());
    // Extremes must not wrap round into a span that looks valid.
    const int32_t big = std::numeric_limits<int32_t>::max();
    for (auto [rows, layout, why] : {std::tuple{7, SheetLayout{8, 0}, "标题行 8 超出"},
                                     {7, SheetLayout{7, 0}, "没有剩下数据行"},
                                     {7, SheetLayout{1, 6}, "没有剩下数据行"},
                                     {7, SheetLayout{0, 0}, ""},
                                     {7, SheetLayout{1, -1}, ""},
                                     {big, SheetLayout{big, 0}, ""},
                                     {5, SheetLayout{2, big}, ""}})
        EXPECT_TRUE(tt::failsWith(rowSpan(rows, layout), err::kRefused, why)) << rows;
    EXPECT_EQ(describeLayout({}), "");
    EXPECT_EQ(describeLayout({3, 1}), "标题行 3 · 末尾跳过 1");
}

TEST_F(SheetLayoutImport, HeadingsAndDataRowsAreTheSameOnEveryFormat) {
    auto xls = writeXls("报表.xls", {kReport});
    std::vector<std::filesystem::path> books{xls};
    for (const std::string format : {"xlsx", "ods", "csv:Text - txt - csv (StarCalc):44,34,76,1"}) {
        auto converted = tt::convertWithLibreOffice(xls, format, dir / "converted");
        ASSERT_FALSE(converted.empty()) << format;
        books.push_back(converted);
    }
    for (const auto& book : books) {
        SCOPED_TRACE(book.filename().string());
        auto opened = open(book, {3, 1});
        ASSERT_TRUE(opened.ok()) << opened.error().description;
        EXPECT_EQ(opened->headings, (Names{"姓名", "金额"}));
        EXPECT_EQ(opened->dataRows, 3);  // below the headings, less the total
        ImportRequest r{book, 1, {1, 2}, opened->headings, 500};
        r.layout = {3, 1};
        auto imported = importRows(ws, r, progress);
        ASSERT_TRUE(imported.ok()) << imported.error().description;
        EXPECT_EQ(imported->dataRows, 3);
        EXPECT_EQ(table(2), (Sheet{{"张三", "10"}, {"李四", "20"}, {"王五", "30"}}));
        EXPECT_EQ(progress.values(Counter::Done).back(), 3);
        EXPECT_EQ(columnList(), (Names{"姓名", "金额"}));
    }
    // The plain layout still reads the title as the heading and every row below.
    auto plain = open(xls, {});
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain->dataRows, 6);
    EXPECT_EQ(plain->headings[0], "某部门 2026 年报表");
}

TEST_F(SheetLayoutImport, ALayoutTheSheetCannotTakeIsRefusedBeforeTheReset) {
    auto book = writeXls("r.xls", {kReport});
    fill({{"kept"}, {"rows"}});
    EXPECT_TRUE(tt::failsWith(open(book, {8, 0}), err::kRefused, "共 7 行"));
    EXPECT_EQ(rowCount(), 2);
    // The import refuses the same before it takes a snapshot or a row.
    ImportRequest r{book, 1, {1}, {"x"}, 500};
    r.layout = {6, 1};
    EXPECT_TRUE(tt::failsWith(importRows(ws, r, progress), err::kRefused));
    EXPECT_EQ(rowCount(), 2);
    // Choosing for an append lists the headings and keeps the table.
    auto appended = open(book, {3, 0}, true);
    ASSERT_TRUE(appended.ok()) << appended.error().description;
    EXPECT_EQ(appended->dataRows, 4);
    EXPECT_EQ(rowCount(), 2);
    // A workbook that does not open still resets the table, as it always did.
    EXPECT_FALSE(open(dir / "missing.xls", {3, 0}).ok());
    EXPECT_EQ(rowCount(), 0);
}
